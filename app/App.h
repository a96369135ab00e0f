// The application object: holds the menu bar, nothing of its own.
#pragma once

#include "framework/Runtime.h"

class App : public fw::Application {};
