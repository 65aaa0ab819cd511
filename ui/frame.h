// The application frame: process start-up, windows built from the designs it is handed, event
// routing with suppression, the message loop, exit routines and the orderly or fatal shutdown.
#pragma once

#include "ui/frame_events.h"
#include "ui/frame_loop.h"
#include "ui/frame_startup.h"
