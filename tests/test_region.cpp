// Tests of region.
#include <gtest/gtest.h>
