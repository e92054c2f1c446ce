// Placeholder suite.
#include <gtest/gtest.h>
