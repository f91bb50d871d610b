#include "update/UpdateTexts.h"

const char kGameTitle[] = "Quillamet";
const char kSourceSubfolder[] = "ZUNA";
const char* const kUpdateFiles[3] = {"Scr01.pak", "Graphic01.pak", "Voice01.pak"};
const char kInstallPathTooLong[] =
    "Quillamet のインストール先のパスが長すぎるため\r\nアップデートできません";
