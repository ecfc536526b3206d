// The default error report's full-stop rule.

#include "win/ErrorText.h"

#include <gtest/gtest.h>

TEST(WithFullStop, AddsAFullStopOnlyAfterTextThatLacksClosingPunctuation) {
    EXPECT_EQ(pw::WithFullStop("Unable to write to C:\\Tools\\Pathwink.INI"),
              "Unable to write to C:\\Tools\\Pathwink.INI.");
    EXPECT_EQ(pw::WithFullStop("Failed to set data for 'Pathwink'"),
              "Failed to set data for 'Pathwink'");
    EXPECT_EQ(pw::WithFullStop("Done."), "Done.");
    EXPECT_EQ(pw::WithFullStop("Really!"), "Really!");
    EXPECT_EQ(pw::WithFullStop("(see above)"), "(see above)");
    EXPECT_EQ(pw::WithFullStop("Is it?"), "Is it?");
    EXPECT_EQ(pw::WithFullStop("Path \"C:\\A\""), "Path \"C:\\A\"");
    EXPECT_EQ(pw::WithFullStop("Error 5"), "Error 5.");
    EXPECT_EQ(pw::WithFullStop(""), "");
}
