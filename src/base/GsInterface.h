// Root of the framework's service objects. There is no reference count: an object lives on
// the stack, as a member, or on the heap until its Release.
#pragma once

class IGsInterface {
public:
    // Does nothing; returns 0.
    virtual int AddRef() { return 0; }
    // Destroys and frees the object; returns 0. Only for objects made with new.
    virtual int Release() { delete this; return 0; }
protected:
    virtual ~IGsInterface() = default;
};
