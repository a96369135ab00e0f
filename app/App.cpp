#include "app/App.h"
