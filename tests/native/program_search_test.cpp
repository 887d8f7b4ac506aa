#include "base/program_search.h"

#include <gtest/gtest.h>

#include <set>

#include "launching/shell_errors.h"

namespace tvn {
namespace {

Text Lower(Text text) {
  for (char16_t& c : text) c = (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
  return text;
}

// The files that exist (names compared without regard to case, as on
// Windows), and every path that was asked about.
class FakeProbe : public FileProbe {
 public:
  explicit FakeProbe(const std::set<Text>& files) {
    for (const Text& file : files) files_.insert(Lower(file));
  }
  bool IsFile(const Text& path) override {
    asked.push_back(path);
    return files_.count(Lower(path)) != 0;
  }
  std::vector<Text> asked;

 private:
  std::set<Text> files_;
};

const Text kSystem = u"C:\\WINDOWS\\system32";
const Text kWindows = u"C:\\WINDOWS";

SearchPlaces Places() {
  SearchPlaces places;
  places.system = {kSystem, kWindows};
  places.path = SplitSearchPath(u"C:\\Tools;bin;\"D:\\My Apps\";;.;C:\\;%SystemRoot%\\x;\\rooted");
  places.untrusted = {u"C:\\", u"C:\\shared tools\\"};
  places.extensions = SplitExtensions(u".COM;.EXE;BAT;.;.CMD");
  return places;
}

TEST(ProgramSearch, ListsKeepOnlyFullFoldersAndRealExtensions) {
  EXPECT_EQ(Places().path, (std::vector<Text>{u"C:\\Tools", u"D:\\My Apps", u"C:\\"}));
  EXPECT_EQ(Places().extensions, (std::vector<Text>{u".COM", u".EXE", u".CMD"}));
  EXPECT_EQ(SplitSearchPath(u""), std::vector<Text>{});
  for (const char16_t* unusable : {u"", u";;", u"EXE;."}) {
    EXPECT_EQ(SplitExtensions(unusable), (std::vector<Text>{u".COM", u".EXE", u".BAT", u".CMD"})) << ToUtf8(unusable);
  }
  for (const char16_t* name : {u"C:\\x.exe", u"bin/x", u"C:x.exe", u"mailto:x", u"\\\\srv\\x"}) {
    EXPECT_TRUE(HasPathSeparator(name)) << ToUtf8(name);
  }
  EXPECT_FALSE(HasPathSeparator(u"rundll32.exe"));
  EXPECT_TRUE(SameFolder(u"c:/windows/", u"C:\\WINDOWS"));
  EXPECT_FALSE(SameFolder(u"C:\\WINDOWS", u"C:\\WINDOWS\\system32"));
}

TEST(ProgramSearch, CandidatesGoFolderByFolderAndNeverGetCut) {
  const std::vector<Text> folders = {kSystem, kWindows};
  EXPECT_EQ(SearchCandidates(u"control", folders, {u".COM", u".EXE"}),
            (std::vector<Text>{kSystem + u"\\control.COM", kSystem + u"\\control.EXE", kWindows + u"\\control.COM",
                               kWindows + u"\\control.EXE"}));
  // A name with an extension, or no extensions to try: the name as written.
  EXPECT_EQ(SearchCandidates(u"compmgmt.msc", folders, {u".EXE"}),
            (std::vector<Text>{kSystem + u"\\compmgmt.msc", kWindows + u"\\compmgmt.msc"}));
  EXPECT_EQ(SearchCandidates(u"shell32", {kSystem}, {}), std::vector<Text>{kSystem + u"\\shell32"});
  const Text name(kPathUnits - kSystem.size() - 5, u'n');  // fits without an extension only
  EXPECT_EQ(SearchCandidates(name, {kSystem}, {u".EXE"}), std::vector<Text>{});
}

TEST(ProgramSearch, SystemFoldersComeFirstAndTheRootIsNeverUsed) {
  FakeProbe probe({kWindows + u"\\regedit.exe", u"C:\\regedit.exe", kSystem + u"\\control.exe",
                   u"C:\\Tools\\control.exe", u"D:\\My Apps\\tool.cmd", u"C:\\planted.txt",
                   u"C:\\shared tools\\helper.exe", u"C:\\only.exe"});
  const SearchPlaces places = Places();
  SearchResult r = FindFile(u"regedit.exe", places, probe);
  EXPECT_EQ(r.outcome, SearchOutcome::kFound);
  EXPECT_EQ(r.path, kWindows + u"\\regedit.exe");
  EXPECT_EQ(FindFile(u"control", places, probe).path, kSystem + u"\\control.EXE");
  EXPECT_EQ(FindFile(u"tool", places, probe).path, u"D:\\My Apps\\tool.CMD");
  // Found only where the shell would look first: refused. PATH naming the
  // drive root does not make the root trusted.
  for (const char16_t* name : {u"planted.txt", u"helper", u"only.exe"}) {
    EXPECT_EQ(FindFile(name, places, probe).outcome, SearchOutcome::kRefused) << ToUtf8(name);
  }
  EXPECT_EQ(FindFile(u"wordpad.exe", places, probe).outcome, SearchOutcome::kNotFound);
  // Not searched at all: a path, nothing, or a name too long for any path.
  probe.asked.clear();
  for (const Text& name : {Text(u"C:\\x\\regedit.exe"), Text(), Text(kPathUnits, u'x')}) {
    EXPECT_EQ(FindFile(name, places, probe).outcome, SearchOutcome::kNotSearched);
  }
  EXPECT_TRUE(probe.asked.empty());
  // The system folder as current directory stays trusted.
  SearchPlaces started = places;
  started.untrusted.push_back(kSystem + u"\\");
  EXPECT_EQ(FindFile(u"control.exe", started, probe).path, kSystem + u"\\control.exe");
}

TEST(ShellErrors, EachShellResultGivesTheSystemErrorOfItsMeaning) {
  const std::pair<std::intptr_t, std::uint32_t> table[] = {
      {2, 2},     {3, 3},     {5, 5},     {8, 8},     {10, 1150}, {11, 11}, {26, 32}, {27, 1155},
      {28, 1156}, {29, 1156}, {30, 1156}, {31, 1155}, {32, 1157}, {0, 31},  {1, 31},  {33, 31}};
  for (const auto& [shell, system] : table) EXPECT_EQ(SystemErrorOfShellResult(shell), system) << shell;
}

}  // namespace
}  // namespace tvn
