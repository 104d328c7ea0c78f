// The window closed as a window manager closes it while its console broadcasts: the console
// ends its talk before the talk SDK and the SDK library go, and nothing is sent afterwards.
// Also run in the sanitizer build (label asan-lab), where a use after free would show.
#include "lab/talk_console_lab_support.h"

namespace vdz {
namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new lab::OffscreenWindowEnvironment);

struct CloseCase {
  const char* name;
  int after_ms;  // from Start to close
};

class TalkCloseWindowLab : public lab::TalkConsoleLab,
                           public ::testing::WithParamInterface<CloseCase> {};

TEST_P(TalkCloseWindowLab, ClosingMidBroadcastEndsTheTalkCleanly) {
  // Short files: the later cases close while a file plays or moves on to the next.
  ASSERT_NO_FATAL_FAILURE(OpenConsole(MakeFiles({0.6, 0.5})));
  ASSERT_NO_FATAL_FAILURE(StartBroadcast());
  lab::WaitFor([] { return false; }, GetParam().after_ms);
  window_->close();
  EXPECT_FALSE(window_->isVisible());
  window_.reset();

  const std::string first = devices_.front().serial;
  const long long packets = Talk(first).packets;
  lab::WaitFor([] { return false; }, 300);
  EXPECT_EQ(Talk(first).packets, packets);
}

INSTANTIATE_TEST_SUITE_P(Moments, TalkCloseWindowLab,
                         ::testing::Values(CloseCase{"during_the_lead", 200},
                                           CloseCase{"while_a_file_plays", 1100},
                                           CloseCase{"at_a_file_change", 1450}),
                         [](const ::testing::TestParamInfo<CloseCase>& p) {
                           return std::string(p.param.name);
                         });

}  // namespace
}  // namespace vdz
