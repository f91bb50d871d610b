#pragma once
#define IDD_TEST_PLAIN 201
#define IDD_TEST_MISSING 299  // no such template
#define IDC_TEST_EDIT 2001
