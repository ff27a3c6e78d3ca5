// Loads arbitrary bytes as a tree document and maps every node onto a record
// with properties of every kind, with and without PreferStrings. Errors are
// expected; crashes, leaks and sanitizer reports are not.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "base/ZkError.h"
#include "store/TestClasses.h"
#include "store/ZkTreeData.h"

namespace {

void MapAll(const zk::TZkTreeDataNode& node, int depth) {
  zk::test::TTestRecord record;
  try {
    record.Assign(node);
  } catch (const zk::EZkError&) {
  }
  zk::test::TTestBook book;
  try {
    book.Assign(node);
  } catch (const zk::EZkError&) {
  }
  // Written back: the mapping of whatever was read must serialise.
  zk::TZkTreeData out;
  out.Root().AddNode("Out").Assign(record);
  std::ostringstream sink;
  out.SaveToStream(sink);
  if (depth < 8)
    for (int i = 0; i < node.Nodes().Count(); ++i) MapAll(node.Nodes().Items(i), depth + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const bool preferStrings = size > 0 && (data[0] & 1) != 0;
  zk::TZkTreeData document(zk::TFormatSettings::Hungarian());
  document.SetPreferStrings(preferStrings);
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  try {
    document.LoadFromStream(in);
  } catch (const zk::EZkError&) {
    return 0;
  }
  MapAll(document.Root(), 0);
  // A loaded document saves and loads again unchanged in shape.
  std::stringstream again;
  try {
    document.SaveToStream(again);
  } catch (const zk::EZkXmlError&) {
    return 0;  // names the parser took but XML cannot carry
  }
  zk::TZkTreeData reloaded;
  reloaded.LoadFromStream(again);
  return 0;
}
