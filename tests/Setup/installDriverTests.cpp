#include "Setup/Script/setupObject.hpp"
#include "Setup/Shell/installDriver.hpp"

#include <gtest/gtest.h>

#include <utility>

TEST(InstallDriverDispatch, EveryStateOfTheTableHasItsAction)
{
  const std::pair<int, DriverAction> table[] = {
      {0, DriverAction::StartupChecks}, {1, DriverAction::Wizard},        {10, DriverAction::ResetCopyCount},
      {11, DriverAction::CopyStep},     {12, DriverAction::StopCopy},     {20, DriverAction::DirectX},
      {25, DriverAction::OpenAL},       {28, DriverAction::Firewall},     {30, DriverAction::StartMenu},
      {40, DriverAction::Registration}, {45, DriverAction::GameExplorer}, {48, DriverAction::RunPrograms},
      {50, DriverAction::WriteLogs},    {100, DriverAction::ReportResult}};
  for (const auto &[state, action] : table)
    EXPECT_EQ(ActionOfState(state), action) << "state " << state;
}

TEST(InstallDriverDispatch, GapsNegativeStatesAndStatesAboveTheResultGoStraightToIt)
{
  for (int state : {-1, -1000, 2, 9, 13, 19, 21, 26, 29, 31, 41, 46, 49, 51, 99, 101, 500, 998, 999, 1000, 123456})
    EXPECT_EQ(ActionOfState(state), DriverAction::GoToResult) << "state " << state;
}

TEST(InstallDriverStep, StatesWithoutAnActionMoveToTheResultAndStepAnswersWhetherTheRunGoesOn)
{
  CSetupObject setup;
  setup.driverState = 1000;
  EXPECT_TRUE(setup.Step());
  EXPECT_EQ(setup.driverState, StateResult);

  setup.driverState = -5;
  EXPECT_TRUE(setup.Step());
  EXPECT_EQ(setup.driverState, StateResult);
}

TEST(InstallDriverStep, TheCopyPhaseRunsFromTenThroughTheIntegrationStepsToTheResult)
{
  CSetupObject setup;
  setup.AddCopiedBytes(1234);
  // No OpenAL installer to run, and a product key of the test's own for the
  // registry step.
  setup.openAL = false;
  setup.productKey = L"Software\\QorSetupTests\\DriverRun";
  setup.driverState = StateCopyStart;
  const int expected[] = {11, 12, 20, 25, 28, 30, 40, 45, 48, 50, StateResult};
  for (int next : expected)
  {
    ASSERT_TRUE(setup.Step());
    EXPECT_EQ(setup.driverState, next);
  }
  EXPECT_EQ(setup.CopiedBytes(), 0);
  EXPECT_EQ(setup.resultCode, ResultSuccess);
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\QorSetupTests");
}

TEST(InstallDriverStep, TheCopyStepWaitsWhileTheWorkerRuns)
{
  CSetupObject setup;
  setup.SetCopyRunning(true);
  setup.driverState = 11;
  ASSERT_TRUE(setup.Step());
  EXPECT_EQ(setup.driverState, 11);
  setup.SetCopyRunning(false);
  ASSERT_TRUE(setup.Step());
  EXPECT_EQ(setup.driverState, 12);
}
