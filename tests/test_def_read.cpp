// Tests of def_read.
#include <gtest/gtest.h>
