// Everything a driver includes: the kernel stand-in's declarations with the platform's names.
#pragma once

#include "kernel/crt.h"
#include "kernel/ex.h"
#include "kernel/io.h"
#include "kernel/io_interface.h"
#include "kernel/ke.h"
#include "kernel/mutex.h"
#include "kernel/ntdef.h"
#include "kernel/ntstatus.h"
#include "kernel/rtl.h"
#include "kernel/shutdown.h"
#include "kernel/timer.h"
#include "kernel/workitem.h"
#include "kernel/zw.h"
