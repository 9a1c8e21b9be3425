// Tests of mqueue.
#include <gtest/gtest.h>
