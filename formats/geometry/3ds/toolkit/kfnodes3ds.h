#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_KFNODES3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_KFNODES3DS_H

// The keyframe node hierarchy: in a file a node names its parent by node id, in
// memory by name (a 0x80F0 chunk under its 0xB010 header), so that nodes can be
// added, deleted and copied between databases. AssignParentNames turns ids into
// names after reading, ComputeNodeIds numbers the nodes and turns the names back
// before writing. The node list is global and lives only inside those two.

#include <cstdint>
#include <cstdio>

namespace zeqsdk_400 {

struct chunk3ds;
struct database3ds;

struct nodeinfo3ds {
    std::int16_t id;
    std::uint32_t tag;
    char* name;      // owned
    char* instance;  // owned or null (object nodes only)
    std::int16_t parent;
    nodeinfo3ds* next;
};

extern nodeinfo3ds* nodeList;
// The node kinds that take part, zero-terminated: camera target, object, camera,
// omnilight, spotlight target, spotlight.
extern const std::uint32_t nodeTags[7];

void AssignParentNames(database3ds* db);
void ComputeNodeIds(database3ds* db);
bool IsNode3ds(std::uint32_t tag);
void InitNodeList();
void ReleaseNodeList();
nodeinfo3ds* makeNode(nodeinfo3ds** out);
std::int16_t getChunkNodeId(chunk3ds* node);
void setNodeId(chunk3ds* node, std::int16_t id);
void addToNodeList(chunk3ds* node);
void ParseDb(database3ds* db);
void checkListNodeIds();
nodeinfo3ds* findNodeById(std::int16_t id);
// "name.instance" or a plain name (also one that holds a dot); of a camera or
// spotlight and its target, which share a name, the camera or spotlight.
nodeinfo3ds* findObjNodeByName(const char* name);
void PrintNodeList(std::FILE* out);
void PrintHierarchy(std::FILE* out);
void printNode(std::FILE* out, nodeinfo3ds* node, std::int32_t depth);

// Parent names (0x80F0 under a node header).
void kfAddParentName(chunk3ds* header, const char* parent);
// Copies the parent name into out (22 bytes, cut to 21 characters), "" when none.
void kfGetParentName(chunk3ds* header, char* out);

}  // namespace zeqsdk_400

#endif
