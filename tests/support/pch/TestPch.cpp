// The object the shared precompiled header of the tests is built with.
#include "TestPch.h"
