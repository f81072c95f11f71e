#include "framework/exception.h"

void AfxThrowResourceException() {
    throw CResourceException();
}

void AfxThrowUserException() {
    throw CUserException();
}
