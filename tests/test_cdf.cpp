// Tests of cdf.
#include <gtest/gtest.h>
