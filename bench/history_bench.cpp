// One history write into a section that already holds 10,000 entries, in
// a history file of about 1 MB, against rewriting the whole file once (the
// floor: no in-place editing can be cheaper).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ZkAtomicFile.h"
#include "store/zkIniFile.h"

namespace {

constexpr int kEntries = 10000;

std::string Entry(int i) {
  std::string entry = "Ok;2024.01.05;09:07;Global;/srv/backup/Documents ";
  entry += std::to_string(i);
  entry += ".Zip";
  return entry;
}

std::string Line(const std::string& text) {
  std::string line = "History=";
  line += text;
  line += "\r\n";
  return line;
}

// [Documents] with the entries, then other jobs' sections filling the file
// to about 1 MB, so that a write has the rest of the file behind it.
std::string HistoryFile() {
  std::string text = "[Documents]\r\n";
  for (int i = 0; i < kEntries; ++i) text += Line(Entry(i));
  text += "\r\n";
  for (int job = 0; text.size() < (1u << 20); ++job) {
    text += "[Job ";
    text += std::to_string(job);
    text += "]\r\n";
    for (int i = 0; i < 50; ++i) text += Line(Entry(i));
    text += "\r\n";
  }
  return text;
}

std::string PathOf(const char* name) {
  std::string path = "/tmp/zk-history-bench-";
  path += std::to_string(getpid());
  path += '-';
  path += name;
  return path;
}

void Write(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

void BM_RewriteWholeFile(benchmark::State& state) {
  const std::string text = HistoryFile();
  const std::string path = PathOf("floor.ini");
  for (auto _ : state) Write(path, text);
  std::remove(path.c_str());
}

// The same, as a history write stores it: beside the file, flushed to the
// disk and renamed over it.
void BM_ReplaceWholeFile(benchmark::State& state) {
  const std::string text = HistoryFile();
  const std::string path = PathOf("replaced.ini");
  for (auto _ : state) zk::platform::WriteFileAtomically(path, [&text](std::ostream& out) { out << text; });
  std::remove(path.c_str());
}

void BM_WriteHistory(benchmark::State& state) {
  const std::string path = PathOf("history.ini");
  Write(path, HistoryFile());
  std::vector<std::string> history;
  for (int i = 0; i <= kEntries; ++i) history.push_back(Entry(i));
  zk::TZkIniFile ini;
  ini.SetFileName(path);
  // Each write erases every entry of the section and adds them again, one
  // more than the file held at first.
  for (auto _ : state) ini.WriteSectionValues("Documents", "History", history);
  std::remove(path.c_str());
  std::remove((path + ".lock").c_str());
}

BENCHMARK(BM_RewriteWholeFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceWholeFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteHistory)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
