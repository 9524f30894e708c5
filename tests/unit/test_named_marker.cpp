// The reload markers' existence rules: a marker exists exactly while some
// handle to it is open. On POSIX, where markers are lock files that other
// programs use by name, a file left behind by a crashed process and a folder
// of the marker's name both count as absent.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "platform/named_marker.h"
#include "support/marker_files.h"

namespace {

using platform::kNoMarker;

std::string UniqueName() {
  std::random_device random;
  return "Global\\Nimbra_Test_" + std::to_string(random()) + std::to_string(random());
}

bool Exists(const std::string& name) {
  const platform::MarkerHandle marker = platform::OpenMarkerIfExists(name);
  platform::CloseMarker(marker);
  return marker != kNoMarker;
}

TEST(NamedMarker, ExistsWhileAHandleIsOpenAndOpeningCreatesNothing) {
  const std::string name = UniqueName();
  EXPECT_FALSE(Exists(name));
  EXPECT_FALSE(Exists(name));  // looking made nothing
  const platform::MarkerHandle first = platform::CreateOrOpenMarker(name);
  ASSERT_NE(first, kNoMarker);
  const platform::MarkerHandle second = platform::CreateOrOpenMarker(name);  // an existing one is opened
  ASSERT_NE(second, kNoMarker);
  platform::CloseMarker(first);
  EXPECT_TRUE(Exists(name));
  platform::CloseMarker(second);
  EXPECT_FALSE(Exists(name));
  testsupport::RemoveMarkerFile(name);
}

#ifndef _WIN32
TEST(NamedMarker, LeftoverFilesAndFoldersCountAsAbsent) {
  const std::string name = UniqueName();
  const std::string file = testsupport::MarkerFile(name);
  platform::CloseMarker(platform::CreateOrOpenMarker(name));
  EXPECT_TRUE(std::filesystem::exists(file)) << file;  // the name other programs use
  EXPECT_FALSE(Exists(name));                           // left behind, held by nobody

  std::filesystem::remove(file);
  std::filesystem::create_directory(file);
  EXPECT_FALSE(Exists(name));
  EXPECT_EQ(platform::CreateOrOpenMarker(name), kNoMarker);
  std::filesystem::remove(file);
}
#endif

}  // namespace
