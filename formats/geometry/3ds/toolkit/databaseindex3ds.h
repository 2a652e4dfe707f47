#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_DATABASEINDEX3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_DATABASEINDEX3DS_H

// Lookup tables a database keeps beside its three lists, so that finds by name and
// by kind and index do not walk the lists: names to their first entry, and per
// kind the entries that count, rebuilt once per list version. Inside the toolkit.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace zeqsdk_400 {

struct chunk3ds;

struct kindcache3ds {
    std::uint32_t version = 0;
    std::vector<chunk3ds*> chunks;
};

struct databaseindex3ds {
    // Bumped by every change of the named-object list or of a listed object.
    std::uint32_t objectversion = 1;
    bool objectnamesvalid = false;
    std::unordered_map<std::string, chunk3ds*> objectnames;
    std::unordered_map<std::uint32_t, kindcache3ds> objectkinds;

    bool materialnamesvalid = false;
    std::unordered_map<std::string, chunk3ds*> materialnames;

    std::uint32_t nodeversion = 1;
    chunk3ds* nodesection = nullptr;  // the 0xB000 whose children the node list holds
    bool nodenamesvalid = false;
    std::unordered_map<std::string, chunk3ds*> nodenames;  // key: tag, ':', name
    std::unordered_map<std::uint32_t, kindcache3ds> nodekinds;
};

}  // namespace zeqsdk_400

#endif
