// The event model: item lines, the event listing, appends by copy, clearing and copying.
#include <gtest/gtest.h>

#include <iostream>
#include <string>

#include "reader/TTudaEvent.h"
#include "tests/TestSupport.h"

namespace {

using AdcItem = TTudaEvent::AdcItem;
using TdcItem = TTudaEvent::TdcItem;
using EpicsItem = TTudaEvent::EpicsItem;
using ScalerItem = TTudaEvent::ScalerItem;

template <typename Item, typename Value>
Item MakeItem(unsigned short channel, Value value)
{
  Item item;
  item.SetChannel(channel);
  item.SetValue(value);
  return item;
}

class TudaEventTest : public ::testing::Test {
 protected:
  void SetUp() override { savedFlags = std::cout.flags(); }
  void TearDown() override { std::cout.flags(savedFlags); }

  std::ios::fmtflags savedFlags;
};

TEST_F(TudaEventTest, ItemLineIsPrefixChannelAndValue)
{
  const AdcItem item = MakeItem<AdcItem>(37, 902);
  EXPECT_EQ(CaptureConsole([&] { item.Print("adc:    "); }).out, "adc:    channel=37 value=902\n");
}

TEST_F(TudaEventTest, DefaultItemsPrintZeroes)
{
  EXPECT_EQ(CaptureConsole([] { AdcItem().Print("u16 "); }).out, "u16 channel=0 value=0\n");
  EXPECT_EQ(CaptureConsole([] { EpicsItem().Print("f "); }).out, "f channel=0 value=0\n");
  EXPECT_EQ(CaptureConsole([] { ScalerItem().Print("u32 "); }).out, "u32 channel=0 value=0\n");
}

TEST_F(TudaEventTest, FloatValueFollowsTheStreamsFloatSettings)
{
  EXPECT_EQ(CaptureConsole([] { MakeItem<EpicsItem>(1, 1.5f).Print(""); }).out, "channel=1 value=1.5\n");
  EXPECT_EQ(CaptureConsole([] { MakeItem<EpicsItem>(2, 1234567.0f).Print(""); }).out,
            "channel=2 value=1.23457e+06\n");
}

TEST_F(TudaEventTest, LargeUnsignedValuesPrintUnsigned)
{
  EXPECT_EQ(CaptureConsole([] { MakeItem<ScalerItem>(65535, 0xffffffffu).Print(""); }).out,
            "channel=65535 value=4294967295\n");
  EXPECT_EQ(CaptureConsole([] { MakeItem<TdcItem>(1, 0xffff).Print(""); }).out, "channel=1 value=65535\n");
}

TEST_F(TudaEventTest, ItemLineIsDecimalOnAHexadecimalStreamAndLeavesItDecimal)
{
  const std::string line = CaptureConsole([] {
    std::cout << std::hex;
    MakeItem<AdcItem>(26, 255).Print("adc:    ");
  }).out;
  EXPECT_EQ(line, "adc:    channel=26 value=255\n");
  EXPECT_EQ(std::cout.flags() & std::ios::basefield, std::ios::dec);
}

TEST_F(TudaEventTest, EmptyEventPrintsItsHeadingOnly)
{
  const TTudaEvent event;
  EXPECT_EQ(CaptureConsole([&] { event.Print(nullptr); }).out, "TTudaEvent:\n");
}

TEST_F(TudaEventTest, EventPrintsEachListInItsOrderWithItsPrefix)
{
  TTudaEvent event;
  AdcItem adc = MakeItem<AdcItem>(5, 100);
  event.AddAdcItem(adc);
  ScalerItem scaler = MakeItem<ScalerItem>(3, 70000);
  event.AddScalerItem(scaler);
  adc = MakeItem<AdcItem>(2, 200);
  event.AddAdcItem(adc);
  EpicsItem epics = MakeItem<EpicsItem>(1, 2.5f);
  event.AddEpicsItem(epics);
  TdcItem tdc = MakeItem<TdcItem>(64, 6844);
  event.AddTdcItem(tdc);

  EXPECT_EQ(CaptureConsole([&] { event.Print(nullptr); }).out,
            "TTudaEvent:\n"
            "adc:    channel=5 value=100\n"
            "adc:    channel=2 value=200\n"
            "tdc:    channel=64 value=6844\n"
            "epics:  channel=1 value=2.5\n"
            "scaler: channel=3 value=70000\n");
}

TEST_F(TudaEventTest, AppendStoresACopyOfTheCallersItem)
{
  TTudaEvent event;
  AdcItem item = MakeItem<AdcItem>(7, 11);
  event.AddAdcItem(item);
  item.SetValue(99);
  item.SetChannel(8);
  event.AddAdcItem(item);

  ASSERT_EQ(event.GetAdcItems().size(), 2u);
  EXPECT_EQ(event.GetAdcItems()[0].GetChannel(), 7);
  EXPECT_EQ(event.GetAdcItems()[0].GetValue(), 11);
  EXPECT_EQ(event.GetAdcItems()[1].GetChannel(), 8);
  EXPECT_EQ(event.GetAdcItems()[1].GetValue(), 99);
}

TEST_F(TudaEventTest, ListAccessShowsLaterAppends)
{
  TTudaEvent event;
  const auto& tdcItems = event.GetTdcItems();
  TdcItem item = MakeItem<TdcItem>(1, 2);
  event.AddTdcItem(item);
  EXPECT_EQ(&tdcItems, &event.GetTdcItems());
  EXPECT_EQ(tdcItems.size(), 1u);
}

TEST_F(TudaEventTest, ClearEmptiesAllFourListsAndKeepsTheirStorage)
{
  TTudaEvent event;
  event.Clear(nullptr);
  EXPECT_TRUE(event.GetAdcItems().empty());

  AdcItem adc;
  TdcItem tdc;
  EpicsItem epics;
  ScalerItem scaler;
  for (int i = 0; i < 10; ++i) {
    event.AddAdcItem(adc);
    event.AddTdcItem(tdc);
    event.AddEpicsItem(epics);
    event.AddScalerItem(scaler);
  }
  const size_t capacity = event.GetAdcItems().capacity();
  event.Clear(nullptr);

  EXPECT_TRUE(event.GetAdcItems().empty());
  EXPECT_TRUE(event.GetTdcItems().empty());
  EXPECT_TRUE(event.GetEpicsItems().empty());
  EXPECT_TRUE(event.GetScalerItems().empty());
  EXPECT_EQ(event.GetAdcItems().capacity(), capacity);
  event.AddAdcItem(adc);
  EXPECT_EQ(event.GetAdcItems().size(), 1u);
}

TEST_F(TudaEventTest, CopiesChangeIndependently)
{
  TTudaEvent source;
  AdcItem adc = MakeItem<AdcItem>(4, 40);
  source.AddAdcItem(adc);
  ScalerItem scaler = MakeItem<ScalerItem>(1, 10);
  source.AddScalerItem(scaler);

  TTudaEvent copy(source);
  copy.Clear(nullptr);
  ASSERT_EQ(source.GetAdcItems().size(), 1u);
  EXPECT_EQ(source.GetAdcItems()[0].GetValue(), 40);
  EXPECT_EQ(source.GetScalerItems().size(), 1u);

  TTudaEvent assigned;
  assigned = source;
  source.Clear(nullptr);
  ASSERT_EQ(assigned.GetAdcItems().size(), 1u);
  EXPECT_EQ(assigned.GetAdcItems()[0].GetChannel(), 4);
  EXPECT_EQ(assigned.GetScalerItems()[0].GetValue(), 10u);
}

}  // namespace
