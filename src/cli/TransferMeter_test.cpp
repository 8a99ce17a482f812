// The transfer rate and time left of a row's image.
#include <gtest/gtest.h>

#include "cli/TransferMeter.h"

namespace {

TEST(TransferMeterTest, PaceSinceTheStartOfTheTransfer) {
  TransferMeter meter;
  meter.Update(0, 400000, 1000);
  EXPECT_TRUE(meter.InFlight());
  EXPECT_EQ(meter.Text(), "") << "no pace before any time has passed";
  meter.Update(100000, 400000, 3000);  // 100 kB in 2 s: 400 kbit/s, 6 s left
  EXPECT_EQ(std::make_pair(meter.KbitPerSecond(), meter.SecondsLeft()), std::make_pair(400.0, 6.0));
  EXPECT_EQ(meter.Text(), "   400 kbit/s  00:06 left");
  meter.Update(400000, 400000, 9000);
  EXPECT_FALSE(meter.InFlight());
  EXPECT_EQ(meter.Seconds(), 8.0);
  meter.Update(0, 400000, 20000);  // the next image starts its own pace
  meter.Update(50000, 400000, 21000);
  EXPECT_EQ(meter.KbitPerSecond(), 400.0);
}

}  // namespace
