// Everything of the framework in one include.
#pragma once

#include "framework/object.h"
#include "framework/exception.h"
#include "framework/unique_handle.h"
#include "framework/gdi_object.h"
#include "framework/dc.h"
#include "framework/wnd.h"
#include "framework/dialog.h"
#include "framework/win_app.h"
