// Notes, rests, ties, lengths, gate, octave and velocity.
#include <gtest/gtest.h>

#include "TestUtil.h"

namespace tw::test {
namespace {

using Events = std::vector<std::string>;

TEST(Notes, DefaultNoteAndLengths) {
  EXPECT_EQ(EventsOf("(T1) C"), (Events{"0: 90 3C 7F", "24: 80 3C 00"}));
  EXPECT_EQ(EventsOf("(T1) C4. C*30 C."),
            (Events{"0: 90 3C 7F", "72: 80 3C 00", "72: 90 3C 7F", "102: 80 3C 00", "102: 90 3C 7F", "138: 80 3C 00"}));
}

}  // namespace
}  // namespace tw::test
