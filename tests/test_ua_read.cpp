// Tests of ua_read.
#include <gtest/gtest.h>
