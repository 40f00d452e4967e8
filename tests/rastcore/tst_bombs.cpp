// The bomb set (tests/data/bombs, written by make_bombs.py): small files declaring huge
// pictures they do not hold. Each must give the error number its list names and leave no
// picture; the time and memory they cost are measured by bench/engine_io --bombs.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "formats_helpers.h"
#include "rastcore3.h"

using namespace fmt_test;

namespace {

std::vector<std::pair<std::string, int>> expectedErrors() {
  std::vector<std::pair<std::string, int>> list;
  std::ifstream in(dataDir() + "/bombs/expected.txt");
  std::string name;
  int error = 0;
  while (in >> name >> error) list.emplace_back(name, error);
  return list;
}

TEST(Bombs, EveryFileIsListed) {
  const auto list = expectedErrors();
  ASSERT_GE(list.size(), 20u);
  size_t files = 0;
  for (const std::string& name : listDir(dataDir() + "/bombs"))
    if (name != "make_bombs.py" && name != "expected.txt") ++files;
  EXPECT_EQ(files, list.size()) << "rerun make_bombs.py";
}

class Bomb : public testing::TestWithParam<std::pair<std::string, int>> {};

TEST_P(Bomb, IsRefusedWithItsErrorAndNoPicture) {
  const auto& [name, error] = GetParam();
  CV_HANDLE h = 0;
  CV_CreateInstance(&h);
  CV_SetHDib(h, makeDib(3, 3, 24));  // a previous picture must not survive a failed load
  CV_SetFileName(h, (dataDir() + "/bombs/" + name).c_str());
  EXPECT_EQ(CV_GetImagError(h), error) << CV_ErrorText(CV_GetImagError(h));
  EXPECT_EQ(CV_GetIWidth(h), 0);
  EXPECT_EQ(CV_GetIHeight(h), 0);
  EXPECT_EQ(CV_GetHDib(h), 0u);
  CV_DestroyInstance(h);
}

std::string testName(const testing::TestParamInfo<std::pair<std::string, int>>& info) {
  std::string n = info.param.first;
  for (char& c : n)
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  return n;
}

INSTANTIATE_TEST_SUITE_P(Set, Bomb, testing::ValuesIn(expectedErrors()), testName);

}  // namespace
