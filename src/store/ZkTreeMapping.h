#pragma once
// The object mapping between published properties and tree nodes; used by
// the nodes' Assign and AssignTo only.

namespace zk {

class TZkPersistent;
class TZkTreeDataNode;

// Appends the object's properties to the node: values as children (a
// property called "Name" as an attribute), owned collections as a child
// holding one "Item" node per item, other owned objects flattened into this
// same node.
void MapObjectToNode(const TZkPersistent& object, TZkTreeDataNode& node);
// Sets the object's properties from the node's children (or attributes);
// what the node lacks keeps its value.
void MapNodeToObject(const TZkTreeDataNode& node, TZkPersistent& object);

}  // namespace zk
