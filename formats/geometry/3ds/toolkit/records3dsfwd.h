#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_RECORDS3DSFWD_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_RECORDS3DSFWD_H

// The toolkit's records and handles declared only, for headers that name them without reading them.

namespace zeqsdk_400 {

struct camera3ds;
struct database3ds;
struct fcolor3ds;
struct file3ds;
struct keyheader3ds;
struct kfcamera3ds;
struct kfmesh3ds;
struct kfomni3ds;
struct kfrotkey3ds;
struct kfspot3ds;
struct light3ds;
struct material3ds;
struct mesh3ds;
struct meshset3ds;
struct point3ds;

}  // namespace zeqsdk_400

#endif
