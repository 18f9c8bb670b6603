// The fake Windows must leave every state a real disk can be left in, or the crash and
// power-cut sweeps prove nothing: the intermediate states of multi-step calls, what a
// power cut does to unflushed files and registry values, writes through symbolic links,
// and a failure at any mutating call.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "desktop/writes.hpp"
#include "platform/path.hpp"
#include "platform/text.hpp"
#include "support/fake_windows.hpp"

namespace mossglow {
namespace {

using fake::FakeWindows;
using fake::Op;
using fake::Stop;

constexpr std::string_view dir = "C:\\t";
constexpr std::string_view key_path = "Software\\T";
std::string at(std::string_view name) { return join_path(dir, name); }

std::string raw(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }
std::vector<std::uint8_t> raw(std::string_view text) { return {text.begin(), text.end()}; }

// Every entry under the folder as "name=content" (folders by name only), then the
// values of the test key as "name:data".
std::string listing(const FakeWindows& w) {
  std::string out;
  for (const std::string& path : w.files.tree(dir)) {
    out.append(out.empty() ? "" : " ").append(file_name(path));
    if (auto content = w.files.content(path)) out.append("=").append(*content);
  }
  for (const std::string& name : w.registry.value_names(RegistryRoot::current_user, key_path)
                                     .value_or(std::vector<std::string>{})) {
    const auto value = w.registry.value(RegistryRoot::current_user, key_path, name);
    out.append(" ").append(name).append(":").append(raw(value->bytes));
  }
  return out;
}

std::string seen(const fake::Snapshot& snapshot, Stop stop = Stop::crash) {
  FakeWindows w;
  w.load(snapshot, stop);
  return listing(w);
}

// The folder holds a = "old", flushed long ago; the key holds v = "1".
struct Disk {
  FakeWindows w;
  Disk() {
    w.files.add_file(at("a"), "old");
    w.registry.put_value(RegistryRoot::current_user, key_path, "v", {reg_binary, raw("1")});
  }
  RegistryKey key() {
    return *w.registry.open_key(RegistryRoot::current_user, key_path, key_all_access);
  }
};

// A call's result as its code: 0 for success, else the Win32 code or the HRESULT.
std::uint32_t code_of(const auto& result) {
  if (result) return 0;
  if constexpr (requires { result.error().error.code; })
    return result.error().error.code;
  else if constexpr (requires { result.error().code; })
    return result.error().code;
  else
    return result.error().value;
}

const std::string link = fake::FakeShell::link_bytes(LinkInfo{"C:\\x.exe", "", "", "C:\\i.ico", 0});

TEST(FakeDisk, EachCallLeavesTheStatesARealDiskPassesThrough) {
  struct Row {
    const char* call;
    std::function<void(Disk&)> act;
    std::vector<std::string> states;  // "step: listing" per snapshot
  };
  const std::vector<Row> rows{
      {"write_file",
       [](Disk& d) { ASSERT_TRUE(d.w.files.write_file(at("a"), "NEW!", false)); },
       {"created or truncated: a= v:1", "half the bytes written: a=NE v:1",
        "all bytes written: a=NEW! v:1"}},
      {"write_file, flushed",
       [](Disk& d) { ASSERT_TRUE(d.w.files.write_file(at("a"), "NEW!", true)); },
       {"created or truncated: a= v:1", "half the bytes written: a=NE v:1",
        "all bytes written: a=NEW! v:1", "flushed: a=NEW! v:1"}},
      {"create_new_file, flushed",
       [](Disk& d) { ASSERT_TRUE(d.w.files.create_new_file(at("b"), "xyz", true)); },
       {"created or truncated: a=old b= v:1", "half the bytes written: a=old b=x v:1",
        "all bytes written: a=old b=xyz v:1", "flushed: a=old b=xyz v:1"}},
      {"write_in_place, longer",
       [](Disk& d) { ASSERT_TRUE(d.w.files.write_in_place(at("a"), "old", "NEWEST")); },
       {"half the bytes written: a=NEW v:1", "all bytes written: a=NEWEST v:1",
        "flushed: a=NEWEST v:1"}},
      {"write_in_place, shorter",
       [](Disk& d) { ASSERT_TRUE(d.w.files.write_in_place(at("a"), "old", "NE")); },
       {"half the bytes written: a=Nld v:1", "all bytes written: a=NEd v:1", "end set: a=NE v:1",
        "flushed: a=NE v:1"}},
      {"rename_replace over a file",
       [](Disk& d) {
         d.w.files.add_file(at("b"), "new");
         ASSERT_TRUE(d.w.files.rename_replace(at("b"), at("a")));
       },
       {"replaced file removed: b=new v:1", "renamed: a=new v:1"}},
      {"rename_replace to a free name",
       [](Disk& d) { ASSERT_TRUE(d.w.files.rename_replace(at("a"), at("e"))); },
       {": e=old v:1"}},
      {"rename_new",
       [](Disk& d) { ASSERT_TRUE(d.w.files.rename_new(at("a"), at("e"))); },
       {": e=old v:1"}},
      {"replace_file",
       [](Disk& d) {
         d.w.files.add_file(at("b"), "new");
         ASSERT_TRUE(d.w.files.replace_file(at("a"), at("b")));
       },
       {"replaced file removed: b=new v:1", "replacement moved in: a=new v:1"}},
      {"set_attributes",
       [](Disk& d) { ASSERT_TRUE(d.w.files.set_attributes(at("a"), file_attribute_hidden)); },
       {": a=old v:1"}},
      {"delete_file", [](Disk& d) { ASSERT_TRUE(d.w.files.delete_file(at("a"))); }, {":  v:1"}},
      {"create_directories",
       [](Disk& d) { ASSERT_TRUE(d.w.files.create_directories(at("x\\y"))); },
       {": a=old x y v:1"}},
      {"set_value",
       [](Disk& d) { ASSERT_TRUE(d.w.registry.set_value(d.key(), "v", 3, raw("2"))); },
       {": a=old v:2"}},
      {"delete_value",
       [](Disk& d) { ASSERT_TRUE(d.w.registry.delete_value(d.key(), "v")); },
       {": a=old"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.call);
    Disk d;
    d.w.record_history(true);
    row.act(d);
    std::vector<std::string> states;
    for (const auto& snapshot : d.w.history())
      states.push_back(snapshot.step + ": " + seen(snapshot));
    EXPECT_EQ(states, row.states);
  }
}

TEST(FakeDisk, APowerCutTakesOnlyWhatWasNeverFlushed) {
  struct Row {
    const char* scenario;
    std::function<void(Disk&)> act;
    std::string path;
    // crash, then power cuts that lose, keep, tear and empty (nothing: no such file)
    std::array<std::optional<std::string>, 5> after;
  };
  const auto write = [](std::string name, std::string bytes, bool flush) {
    return [=](Disk& d) { ASSERT_TRUE(d.w.files.write_file(at(name), bytes, flush)); };
  };
  // b = "NEW!" (flushed or not), then the call that puts it in a's place.
  const auto b_onto_a = [](bool flush, auto call) {
    return [=](Disk& d) {
      ASSERT_TRUE(d.w.files.write_file(at("b"), "NEW!", flush));
      ASSERT_TRUE(call(d.w.files));
    };
  };
  const auto rename = [](auto& files) { return files.rename_replace(at("b"), at("a")); };
  const auto replace = [](auto& files) { return files.replace_file(at("a"), at("b")); };
  const std::array<std::optional<std::string>, 5> kept{"NEW!", "NEW!", "NEW!", "NEW!", "NEW!"};
  const std::array<std::optional<std::string>, 5> lost{"NEW!", "", "NEW!", "NE", ""};
  const std::vector<Row> rows{
      {"truncated and rewritten",
       write("a", "NEW!", false),
       "a",
       {"NEW!", "old", "NEW!", "NEd", ""}},
      {"rewritten with a flush", write("a", "NEW!", true), "a", kept},
      {"written in place, which flushes",
       [](Disk& d) { ASSERT_TRUE(d.w.files.write_in_place(at("a"), "old", "NEW!")); }, "a", kept},
      {"created, never flushed",
       [](Disk& d) { ASSERT_TRUE(d.w.files.create_new_file(at("b"), "abcd", false)); },
       "b",
       {"abcd", "", "abcd", "ab", ""}},
      {"an unflushed file renamed over a flushed one", b_onto_a(false, rename), "a", lost},
      {"an unflushed replacement", b_onto_a(false, replace), "a", lost},
      {"a flushed replacement", b_onto_a(true, replace), "a", kept},
      {"deleted", [](Disk& d) { ASSERT_TRUE(d.w.files.delete_file(at("a"))); }, "a", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.scenario);
    Disk d;
    row.act(d);
    const auto now = d.w.snapshot();
    for (std::size_t i = 0; i < row.after.size(); ++i) {
      const Stop stop = fake::all_stops[i];
      SCOPED_TRACE(fake::stop_name(stop));
      FakeWindows after;
      after.load(now, stop);
      EXPECT_EQ(after.files.content(at(row.path)), row.after[i]);
      EXPECT_FALSE(after.files.exists(at("b")) && row.path != "b") << "a rename is metadata";
      // What a power cut leaves is on disk: a second one takes nothing more.
      if (stop != Stop::crash) {
        FakeWindows again;
        again.load(after.snapshot(), Stop::power_cut_empty);
        EXPECT_EQ(again.files.content(at(row.path)), row.after[i]);
      }
    }
  }
}

TEST(FakeDisk, AMixedPowerCutDealsDifferentOutcomesToDifferentFiles) {
  FakeWindows w;
  for (const char* name : {"a", "b", "c", "d", "e"}) {
    w.files.add_file(at(name), "0000");
    ASSERT_TRUE(w.files.write_file(at(name), "1111", false));
  }
  w.files.add_file(at("f"), "flushed");
  FakeWindows after;
  after.load(w.snapshot(), Stop::power_cut_mixed);
  EXPECT_EQ(listing(after), "a=1111 b=0000 c=1100 d= e=1111 f=flushed");
}

TEST(FakeDisk, TornBytesAreNeitherTheOldNorTheNew) {
  struct Pair {
    std::string old, now;
  };
  for (const auto& [old, now] : std::vector<Pair>{{"old", "NEW!"},
                                                  {"xb", "ab"},  // same tail as the new bytes
                                                  {"a", "ab"},   // the new bytes' first half
                                                  {"a", std::string("a\0", 2)},
                                                  {"y", "x"},
                                                  {"long old content", "n"}}) {
    SCOPED_TRACE(old + " -> " + now);
    FakeWindows w;
    w.files.add_file(at("f"), old);
    ASSERT_TRUE(w.files.write_file(at("f"), now, false));
    FakeWindows after;
    after.load(w.snapshot(), Stop::power_cut_tear);
    const auto torn = after.files.content(at("f"));
    EXPECT_NE(torn, old);
    EXPECT_NE(torn, now);
  }
}

// A write in place stopped anywhere, by a crash or any power cut, leaves what a disk
// can: a length between the two, each byte old or new (zero where the file grew), and
// never an empty file. The restore's proof of an interrupted write accepts exactly that,
// so each state here must pass it; and torn states must show up, or the proof is idle.
TEST(FakeDisk, AWriteInPlaceStoppedAnywhereLeavesBlocksOfTheOldAndTheNew) {
  const std::string old = "the shortcut as it was, forty-some bytes long";
  const std::string longer = "THE SHORTCUT WITH THE MASCOT'S ICON, LONGER THAN IT WAS BEFORE";
  const std::string shorter = "SHORTER";
  int torn = 0;
  for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
           {old, longer}, {longer, old}, {old, shorter}, {old, std::string(old.size(), 'N')}}) {
    SCOPED_TRACE(from + " -> " + to);
    FakeWindows w;
    w.files.add_file(at("f"), from);
    w.record_history(true);
    ASSERT_TRUE(w.files.write_in_place(at("f"), from, to));
    for (const auto& snapshot : w.history()) {
      for (const Stop stop : fake::all_stops) {
        FakeWindows after;
        after.load(snapshot, stop);
        const std::string left = after.files.content(at("f")).value_or("<gone>");
        EXPECT_TRUE(is_interrupted_rewrite(left, from, to))
            << fake::stop_name(stop) << " after " << snapshot.describe() << ": " << left;
        EXPECT_FALSE(left.empty());
        if (left != from && left != to) ++torn;
      }
    }
  }
  EXPECT_GT(torn, 10);
}

TEST(FakeDisk, UnflushedRegistryChangesRevertAndKeysSurvive) {
  Disk d;
  d.w.registry.put_value(RegistryRoot::current_user, key_path, "w", {reg_binary, raw("x")});
  ASSERT_TRUE(d.w.registry.set_value(d.key(), "v", reg_binary, raw("2")));
  ASSERT_TRUE(d.w.registry.delete_value(d.key(), "w"));
  auto created =
      d.w.registry.create_key(RegistryRoot::current_user, "Software\\New", key_all_access);
  ASSERT_TRUE(created);
  ASSERT_TRUE(d.w.registry.set_value(*created, "z", reg_binary, raw("3")));
  const auto unflushed = d.w.snapshot();
  for (const Stop stop : fake::all_stops) {
    SCOPED_TRACE(fake::stop_name(stop));
    FakeWindows after;
    after.load(unflushed, stop);
    const bool kept = stop == Stop::crash || stop == Stop::power_cut_keep;
    EXPECT_EQ(listing(after), kept ? "a=old v:2" : "a=old v:1 w:x");
    EXPECT_TRUE(after.registry.key_exists(RegistryRoot::current_user, "Software\\New"));
    EXPECT_EQ(after.registry.value(RegistryRoot::current_user, "Software\\New", "z").has_value(),
              kept);
  }
  // RegFlushKey writes the hive: the other key's value is durable too.
  ASSERT_TRUE(d.w.registry.flush_key(d.key()));
  FakeWindows after;
  after.load(d.w.snapshot(), Stop::power_cut_lose);
  EXPECT_EQ(listing(after), "a=old v:2");
  EXPECT_TRUE(after.registry.value(RegistryRoot::current_user, "Software\\New", "z"));
}

TEST(FakeDisk, WritesGoThroughSymbolicLinksAndNamesActOnTheLink) {
  Disk d;
  auto& files = d.w.files;
  files.add_file(at("target"), "T");
  files.add_symlink(at("link"), at("target"), false);
  const auto is_link = [&](std::string_view name) {
    for (const auto& entry : files.list_directory(dir).value_or(std::vector<DirectoryEntry>{})) {
      if (equals_ignoring_ascii_case(entry.name, name)) return entry.is_link();
    }
    return false;
  };

  ASSERT_TRUE(files.write_file(at("link"), "W", false));
  EXPECT_EQ(files.content(at("target")), "W");
  EXPECT_EQ(files.read_file(at("link")).value_or(""), "W");
  EXPECT_TRUE(is_link("link"));
  ASSERT_TRUE(files.write_in_place(at("link"), "W", "old"));
  EXPECT_EQ(files.content(at("target")), "old");
  EXPECT_EQ(files.durable_content(at("target")), "old");
  EXPECT_EQ(files.create_new_file(at("link"), "N", false).error().code, error_file_exists);
  EXPECT_TRUE(is_link("link"));

  ASSERT_TRUE(files.set_attributes(at("link"), file_attribute_hidden));
  EXPECT_EQ(files.attributes(at("link")), file_attribute_hidden | file_attribute_reparse_point);
  EXPECT_EQ(files.attributes(at("target")), file_attribute_archive);
  ASSERT_TRUE(files.rename_replace(at("link"), at("moved")));
  EXPECT_TRUE(is_link("moved"));
  EXPECT_EQ(files.read_file(at("moved")).value_or(""), "old");
  FakeWindows later;  // a link in a snapshot still leads to its target
  later.load(d.w.snapshot(), Stop::power_cut_lose);
  EXPECT_EQ(later.files.read_file(at("moved")).value_or(""), "old");
  ASSERT_TRUE(files.delete_file(at("moved")));
  EXPECT_EQ(files.content(at("target")), "old");

  // A dangling link is a taken name; writing through it makes its target.
  files.add_symlink(at("dangling"), at("made"), false);
  EXPECT_EQ(files.create_new_file(at("dangling"), "N", false).error().code, error_file_exists);
  ASSERT_TRUE(files.write_file(at("dangling"), "D", false));
  EXPECT_EQ(files.content(at("made")), "D");
  EXPECT_TRUE(is_link("dangling"));
}

// One script of every mutating call, interleaved with calls that change nothing.
struct Script {
  Disk d;
  RegistryKey key = d.key();
  Script() { d.w.files.add_file(at("h.url"), "[InternetShortcut]\r\nURL=x\r\n"); }

  // The code of each mutating call's result in order (0: success; HRESULTs as such).
  std::vector<std::uint32_t> run(std::function<void()> between) {
    auto& files = d.w.files;
    std::vector<std::function<std::uint32_t()>> calls{
        [&] { return code_of(files.set_attributes(at("a"), file_attribute_hidden)); },
        [&] { return code_of(files.write_file(at("b"), "bb", false)); },
        [&] { return code_of(files.create_new_file(at("c"), "cc", true)); },
        [&] { return code_of(files.write_file(at("d"), "dd", false)); },
        [&] { return code_of(files.rename_replace(at("d"), at("e"))); },
        [&] { return code_of(files.rename_new(at("e"), at("f"))); },
        [&] { return code_of(files.replace_file(at("c"), at("f"))); },
        [&] { return code_of(files.delete_file(at("b"))); },
        [&] { return code_of(files.create_directories(at("x"))); },
        [&] { return code_of(files.write_in_place(at("a"), "old", "in place")); },
        [&] { return code_of(d.w.shell.set_url_icon(at("h.url"), "C:\\i.ico")); },
        [&] {
          return code_of(d.w.registry.create_key(RegistryRoot::current_user, "Software\\T\\S",
                                                 key_all_access));
        },
        [&] { return code_of(d.w.registry.set_value(key, "v", reg_binary, raw("2"))); },
        [&] { return code_of(d.w.registry.delete_value(key, "v")); },
        [&] { return code_of(d.w.registry.flush_key(key)); },
    };
    std::vector<std::uint32_t> codes;
    for (const auto& call : calls) {
      codes.push_back(call());
      // Reads count for nothing.
      (void)files.read_file(at("a"));
      (void)files.metadata(at("a"));
      (void)d.w.shell.link_from_bytes(link);
      (void)d.w.registry.open_key(RegistryRoot::current_user, key_path, key_read);
      std::array<std::uint8_t, 8> buffer{};
      (void)d.w.registry.query_value(key, "v", buffer);
      if (between) between();
    }
    return codes;
  }
};

TEST(FakeDisk, TheNthMutatingCallFailsWhateverItIsAndChangesNothing) {
  const auto clean = Script{}.run({});
  ASSERT_EQ(clean, std::vector<std::uint32_t>(clean.size(), 0));
  const std::size_t total = clean.size();
  for (std::size_t n = 1; n <= total; ++n) {
    SCOPED_TRACE("call " + std::to_string(n));
    Script s;
    s.d.w.faults.fail_mutation(static_cast<int>(n), error_access_denied);
    std::vector<std::string> states{listing(s.d.w)};
    const auto codes = s.run([&] { states.push_back(listing(s.d.w)); });
    const auto& calls = s.d.w.faults.mutating_calls();
    ASSERT_EQ(calls.size(), total);
    const std::size_t failed = n - 1;
    const std::string call = calls[failed].describe();
    const bool shell = calls[failed].op == Op::set_url_icon;
    EXPECT_EQ(codes[failed],
              shell ? hresult_from_win32(error_access_denied).value : error_access_denied)
        << call;
    EXPECT_EQ(states[failed + 1], states[failed]) << call << " changed something";
    for (std::size_t i = 0; i < failed; ++i) EXPECT_EQ(codes[i], 0u) << calls[i].describe();
  }
}

TEST(FakeDisk, AReplaceThatCannotMoveTheReplacementHasRemovedTheReplacedFile) {
  for (const bool by_plan : {false, true}) {
    SCOPED_TRACE(by_plan ? "fault plan" : "nth mutating call");
    Disk d;
    d.w.files.add_file(at("b"), "new");
    if (by_plan) {
      d.w.faults.fail_nth(Op::replace_file, 1, error_unable_to_move_replacement);
    } else {
      d.w.faults.fail_mutation(1, error_unable_to_move_replacement);
    }
    d.w.record_history(true);
    EXPECT_EQ(d.w.files.replace_file(at("a"), at("b")).error().code,
              error_unable_to_move_replacement);
    EXPECT_EQ(listing(d.w), "b=new v:1");
    ASSERT_EQ(d.w.history().size(), 1u);
    EXPECT_EQ(seen(d.w.history()[0]), "b=new v:1");
  }
  // Where the call fails anyway, the planned code still comes back and nothing changes.
  Disk d;
  d.w.faults.fail_nth(Op::replace_file, 1, error_unable_to_move_replacement);
  EXPECT_EQ(d.w.files.replace_file(at("a"), at("missing")).error().code,
            error_unable_to_move_replacement);
  EXPECT_EQ(listing(d.w), "a=old v:1");
}

// One plan serves files, shell and registry: it fails the calls asked for, comparing
// paths as the part answering does, counts every call the program makes, and counts
// a rule's calls from when it is set.
TEST(FaultPlan, FailsTheCallsAskedForAndCountsEveryCall) {
  Disk d;
  auto& files = d.w.files;
  auto& plan = d.w.faults;
  plan.fail_nth(Op::read_file, 2, error_sharing_violation, "c:/T/A");
  plan.fail_on_path(Op::write_file, at("b"), 112);
  plan.fail_on_path(Op::set_value, "V", error_access_denied);
  plan.fail_nth(Op::new_link_bytes, 2, 0x80004005u);
  EXPECT_EQ(code_of(files.read_file(at("a"))), 0u);
  EXPECT_EQ(code_of(files.read_file(at("c"))), error_file_not_found);
  EXPECT_EQ(code_of(files.read_file(at("a"))), error_sharing_violation);
  EXPECT_EQ(code_of(files.read_file(at("a"))), 0u);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(code_of(files.write_file(at("b"), "x", false)), 112u);
  EXPECT_EQ(code_of(files.write_file(at("c"), "x", false)), 0u);
  EXPECT_EQ(code_of(d.w.registry.set_value(d.key(), "v", reg_binary, raw("2"))), 5u);
  const NewLink new_link{"C:\\x.exe", {}, {}, ""};
  EXPECT_EQ(code_of(d.w.shell.new_link_bytes(new_link)), 0u);
  EXPECT_EQ(code_of(d.w.shell.new_link_bytes(new_link)), 0x80004005u);
  // A test reading a link back makes no call of the program's.
  ASSERT_TRUE(files.write_file(at("l.lnk"), link, false));
  ASSERT_TRUE(d.w.shell.read_link(at("l.lnk")));
  EXPECT_EQ(plan.calls(Op::read_file), 4);
  EXPECT_EQ(plan.calls(Op::write_file), 4);

  plan.clear();
  EXPECT_EQ(code_of(files.write_file(at("b"), "x", false)), 0u);
  EXPECT_EQ(plan.calls(Op::write_file), 5);
  plan.fail_nth(Op::write_file, 1, 112);
  EXPECT_EQ(code_of(files.write_file(at("b"), "x", false)), 112u);
  EXPECT_THROW(plan.fail_nth(Op::change_notify, 1, 5), std::invalid_argument);
}

TEST(FaultPlan, HooksActJustBeforeACallOrOnceItSucceeded) {
  Disk d;
  auto& files = d.w.files;
  auto& plan = d.w.faults;
  std::vector<std::string> seen;
  plan.before(Op::rename_new, at("A"), [&] { files.add_file(at("a"), "raced in"); });
  plan.before(Op::delete_file, at("keep"), [] { return fake::Failure(error_access_denied); });
  plan.after(Op::delete_file, std::nullopt, [&] { seen.push_back("deleted"); });
  plan.before(Op::read_file, at("a"), [&] { seen.push_back(*files.read_file(at("a"))); });

  ASSERT_TRUE(files.rename_new(at("a"), at("c")));
  EXPECT_EQ(files.content(at("c")), "raced in");
  files.add_file(at("keep"), "k");
  EXPECT_EQ(code_of(files.delete_file(at("keep"))), error_access_denied);
  EXPECT_TRUE(files.exists(at("keep")));
  ASSERT_TRUE(files.delete_file(at("c")));
  files.add_file(at("a"), "again");
  ASSERT_TRUE(files.read_file(at("a")));
  EXPECT_EQ(seen, (std::vector<std::string>{"deleted", "again"}));
  EXPECT_EQ(plan.calls(Op::read_file), 2) << "a hook's own call runs no hooks, yet counts";
}

TEST(FakeDisk, SnapshotsShareFileContent) {
  FakeWindows w;
  w.files.add_file(at("icon.ico"), std::string(94 * 1024, 'i'));
  w.record_history(true);
  ASSERT_TRUE(w.files.rename_new(at("icon.ico"), at("moved.ico")));
  ASSERT_TRUE(w.files.write_file(at("other"), "x", false));
  const auto& history = w.history();
  const auto bytes_of = [](const fake::Snapshot& s, std::string_view name) {
    return s.files.at(fake::FakeFileSystem::fold(at(name))).content.view().data();
  };
  const auto* icon = bytes_of(history.back(), "moved.ico");
  for (const auto& snapshot : history) EXPECT_EQ(bytes_of(snapshot, "moved.ico"), icon);
}

}  // namespace
}  // namespace mossglow
