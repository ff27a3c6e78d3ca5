// Loading and saving a job-sized document (2,000 nodes of 50 children each)
// through the tree document, against pugixml's own parse and save of the
// same text, and the object mapping on top of the tree.

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <sstream>
#include <string>

#include "store/TestClasses.h"
#include "store/ZkTreeData.h"

namespace {

constexpr int kNodes = 2000;
constexpr int kChildren = 50;

// <Saving><Item Name="Job n"><V0>...</V0>...<V49>...</V49></Item>...</Saving>
const std::string& DocumentText() {
  static const std::string text = [] {
    zk::TZkTreeData document(zk::TFormatSettings::Hungarian());
    zk::TZkTreeDataNode& saving = document.Root().AddNode("Saving");
    for (int i = 0; i < kNodes; ++i) {
      zk::TZkTreeDataNode& item = saving.AddNode("Item");
      item.Attributes().AddAttribute("Name").SetValue("Job " + std::to_string(i));
      for (int c = 0; c < kChildren; ++c) {
        // Appended piecewise: g++ 12 warns falsely on "literal" + to_string here.
        std::string name = "V";
        name += std::to_string(c);
        std::string value = "D:\\Backup\\value ";
        value += std::to_string(i * c);
        item.AddNode(name).SetValue(value);
      }
    }
    std::ostringstream out;
    document.SaveToStream(out);
    return out.str();
  }();
  return text;
}

// 2,000 records, each written as 50 elements: 9 values, 2 flattened, the
// entry list with 12 items of 3 elements, and the one left out.
const std::string& RecordText() {
  static const std::string text = [] {
    zk::test::TTestBook book;
    for (int i = 0; i < kNodes; ++i) {
      zk::test::TTestRecord& record = book.Records().Add();
      record.SetName("Job " + std::to_string(i));
      record.SetRatio(i / 7.0);
      for (int e = 0; e < 12; ++e) record.Entries().Add().SetName("C:\\Data\\" + std::to_string(e));
    }
    zk::TZkTreeData document(zk::TFormatSettings::Hungarian());
    document.Root().AddNode("Book").Assign(book);
    std::ostringstream out;
    document.SaveToStream(out);
    return out.str();
  }();
  return text;
}

void SetBytes(benchmark::State& state, const std::string& text) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

using TText = const std::string& (*)();

void BM_PugixmlParse(benchmark::State& state, TText textOf) {
  const std::string& text = textOf();
  for (auto _ : state) {
    pugi::xml_document xml;
    benchmark::DoNotOptimize(xml.load_buffer(text.data(), text.size()));
  }
  SetBytes(state, text);
}

void BM_TreeDataLoad(benchmark::State& state, TText textOf) {
  const std::string& text = textOf();
  for (auto _ : state) {
    zk::TZkTreeData document;
    std::istringstream in(text);
    document.LoadFromStream(in);
    benchmark::DoNotOptimize(document.Root().Nodes().Count());
  }
  SetBytes(state, text);
}

void BM_PugixmlSave(benchmark::State& state) {
  const std::string& text = DocumentText();
  pugi::xml_document xml;
  xml.load_buffer(text.data(), text.size());
  for (auto _ : state) {
    std::ostringstream out;
    xml.save(out, "", pugi::format_raw);
    benchmark::DoNotOptimize(out.str().size());
  }
  SetBytes(state, text);
}

void BM_TreeDataSave(benchmark::State& state, TText textOf) {
  const std::string& text = textOf();
  zk::TZkTreeData document;
  std::istringstream in(text);
  document.LoadFromStream(in);
  for (auto _ : state) {
    std::ostringstream out;
    document.SaveToStream(out);
    benchmark::DoNotOptimize(out.str().size());
  }
  SetBytes(state, text);
}

void BM_LoadAndMapRecords(benchmark::State& state) {
  const std::string& text = RecordText();
  for (auto _ : state) {
    zk::TZkTreeData document;
    std::istringstream in(text);
    document.LoadFromStream(in);
    zk::test::TTestBook book;
    book.Assign(document.Root().Nodes().Items(0));
    benchmark::DoNotOptimize(book.Records().Count());
  }
  SetBytes(state, text);
}

void BM_MapAndSaveRecords(benchmark::State& state) {
  const std::string& text = RecordText();
  zk::TZkTreeData source;
  std::istringstream in(text);
  source.LoadFromStream(in);
  zk::test::TTestBook book;
  book.Assign(source.Root().Nodes().Items(0));
  for (auto _ : state) {
    zk::TZkTreeData document;
    document.Root().AddNode("Book").Assign(book);
    std::ostringstream out;
    document.SaveToStream(out);
    benchmark::DoNotOptimize(out.str().size());
  }
  SetBytes(state, text);
}

BENCHMARK_CAPTURE(BM_PugixmlParse, Document, DocumentText)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TreeDataLoad, Document, DocumentText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PugixmlSave)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TreeDataSave, Document, DocumentText)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PugixmlParse, Records, RecordText)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TreeDataLoad, Records, RecordText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAndMapRecords)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TreeDataSave, Records, RecordText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapAndSaveRecords)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
