// Root of the framework's classes: polymorphic and not copyable, like the window and
// GDI objects that derive from it.
#pragma once

class CObject {
  public:
    virtual ~CObject() = default;
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;

  protected:
    CObject() = default;
};
