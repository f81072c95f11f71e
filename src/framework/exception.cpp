#include "framework/exception.h"

void ThrowResourceException() {
    throw CResourceException();
}

void ThrowUserException() {
    throw CUserException();
}
