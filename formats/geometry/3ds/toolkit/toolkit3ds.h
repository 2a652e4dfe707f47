#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_TOOLKIT3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_TOOLKIT3DS_H

// The whole 3DS toolkit in one include.

#include "formats/geometry/3ds/toolkit/background3ds.h"
#include "formats/geometry/3ds/toolkit/bytestream3ds.h"
#include "formats/geometry/3ds/toolkit/camera3ds.h"
#include "formats/geometry/3ds/toolkit/chunk3ds.h"
#include "formats/geometry/3ds/toolkit/chunkdata3ds.h"
#include "formats/geometry/3ds/toolkit/database3ds.h"
#include "formats/geometry/3ds/toolkit/errors3ds.h"
#include "formats/geometry/3ds/toolkit/filecontext3ds.h"
#include "formats/geometry/3ds/toolkit/kfcameralight3ds.h"
#include "formats/geometry/3ds/toolkit/kfhelpers3ds.h"
#include "formats/geometry/3ds/toolkit/kfnodes3ds.h"
#include "formats/geometry/3ds/toolkit/kfobject3ds.h"
#include "formats/geometry/3ds/toolkit/kfsettings3ds.h"
#include "formats/geometry/3ds/toolkit/light3ds.h"
#include "formats/geometry/3ds/toolkit/material3ds.h"
#include "formats/geometry/3ds/toolkit/mesh3ds.h"
#include "formats/geometry/3ds/toolkit/meshset3ds.h"
#include "formats/geometry/3ds/toolkit/types3ds.h"

#endif
