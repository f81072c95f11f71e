// The framework's exceptions. They are thrown by value and caught by reference, and
// never leave a window or dialog procedure.
#pragma once

class CException {
  public:
    virtual ~CException() = default;
    virtual const char* GetErrorMessage() const noexcept { return "framework exception"; }
};

// A GDI or USER resource (DC, bitmap, palette) could not be had.
class CResourceException : public CException {
  public:
    const char* GetErrorMessage() const noexcept override { return "resource not available"; }
};

// Data exchange failed; the user has already been told.
class CUserException : public CException {
  public:
    const char* GetErrorMessage() const noexcept override { return "data exchange failed"; }
};

[[noreturn]] void ThrowResourceException();
[[noreturn]] void ThrowUserException();
