#ifndef ZEQ_IO_KZEQSURFACES_STEPS_H
#define ZEQ_IO_KZEQSURFACES_STEPS_H

// Rows of the Zeq read and write tables for NURBS surfaces, patches, skin
// links, deformers and shapes, and the geometry record's common part that
// surfaces and meshes share.

#include <vector>

namespace zeqsdk_400 {

class KString;
class KZeqDeformer;
class KZeqGeometry;
class KZeqLink;
class KZeqNode;
class KZeqNodeAttribute;
class KZeqNurb;
class KZeqObject;
class KZeqPatch;
class KZeqReaderZeq;
class KZeqScene;
class KZeqShape;
class KZeqWriterZeqBase;

// ---- Reading ----------------------------------------------------------------------------------------

// What follows a surface's own fields: version 6 the layer elements, links
// and shapes; before version 6 materials, textures, links, shapes and layers.
// Until the geometry record's own readers are in, this reads the links and
// shapes alone.
bool ZeqReadGeometryCommon(KZeqReaderZeq& reader, KZeqGeometry& geometry);
// One "Link" / "Shape" record, for the geometry record's loops.
bool ZeqReadLinkRecord(KZeqReaderZeq& reader, KZeqLink& link);
bool ZeqReadShapeRecord(KZeqReaderZeq& reader, KZeqShape& shape, KZeqGeometry& geometry);

bool ZeqReadNurbFields(KZeqReaderZeq& reader, KZeqNodeAttribute& attribute);
bool ZeqReadPatchFields(KZeqReaderZeq& reader, KZeqNodeAttribute& attribute);
// A "Deformer" object of subtype "Skin" or "Cluster" (any letter case);
// other subtypes are skipped.
bool ZeqReadDeformerObject(KZeqReaderZeq& reader, KZeqScene& scene, const KString& subtype, const KString& name);
// Once the geometry is read (and the deformers became links): pairs naming
// no control point go.
bool ZeqReadBoundLinkIndices(KZeqReaderZeq& reader, KZeqScene& scene);
// No deformer outlives a read, a failed one included.
bool ZeqReadRemoveDeformers(KZeqReaderZeq& reader, KZeqScene& scene);

// ---- Writing ----------------------------------------------------------------------------------------

// The common part as the readers above take it: 6.0 layer elements and
// shapes (links are deformers there), 5.8 materials, textures, links, shapes
// and layers. Until the geometry record's own writers are in, this writes the
// links and shapes alone.
bool ZeqWriteGeometryCommon(KZeqWriterZeqBase& writer, KZeqGeometry& geometry);
// A geometry's 5.8 "Link" records / "Shape" records, for the geometry record.
bool ZeqWriteLinkRecords58(KZeqWriterZeqBase& writer, KZeqGeometry& geometry);
bool ZeqWriteShapeRecords(KZeqWriterZeqBase& writer, KZeqGeometry& geometry);

bool WriteKZeqNurb(KZeqWriterZeqBase& writer, KZeqNurb& nurb);
bool WriteKZeqPatch(KZeqWriterZeqBase& writer, KZeqPatch& patch);
// One value: the patch type's word, "Linear" for any type of no word.
bool WriteKZeqPatchType(KZeqWriterZeqBase& writer, int type);
bool WriteKZeqShape(KZeqWriterZeqBase& writer, KZeqShape& shape, KZeqGeometry& geometry, const char* name);
bool WriteKZeqDeformer(KZeqWriterZeqBase& writer, KZeqDeformer& deformer);
// The shapes of every geometry below node take the version-5 names, and back.
void ConvertShapeNamesToV5Format(KZeqNode& node);
void RevertShapeNamesToV6Format(KZeqNode& node);

bool ZeqWriteNurbAttribute(KZeqWriterZeqBase& writer, KZeqNode& node);
bool ZeqWritePatchAttribute(KZeqWriterZeqBase& writer, KZeqNode& node);
void ZeqListDeformers(KZeqScene& scene, std::vector<KZeqObject*>& objects);
bool ZeqWriteDeformerObject(KZeqWriterZeqBase& writer, KZeqObject& object);
// Around a 6.0 write: links to deformers, and the deformers removed again.
bool ZeqWrite6LinksToDeformers(KZeqWriterZeqBase& writer, KZeqScene& scene);
bool ZeqWrite6RemoveDeformers(KZeqWriterZeqBase& writer, KZeqScene& scene);
// Around a 5.8 write: shape names to the version-5 form, and back.
bool ZeqWrite58ConvertShapeNames(KZeqWriterZeqBase& writer, KZeqScene& scene);
bool ZeqWrite58RevertShapeNames(KZeqWriterZeqBase& writer, KZeqScene& scene);

}  // namespace zeqsdk_400

#endif
