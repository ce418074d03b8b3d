#pragma once
// The system services of the core, made with the wide (UTF-16) forms of the Windows API.
#include "platform/clock_win32.h"
#include "platform/environment_win32.h"
#include "platform/files_win32.h"
#include "platform/message_boxes_win32.h"
#include "platform/process_win32.h"
#include "platform/shell_win32.h"
