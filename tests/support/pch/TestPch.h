// The headers every test program shares, compiled once into a precompiled header.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>
