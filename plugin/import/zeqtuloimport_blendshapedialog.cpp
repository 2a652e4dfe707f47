// The warning about blend-shape weights that found no curve to take their animation. Not built
// yet: a stub.
#include "plugin/import/zeqtuloimport.h"

void ZeqTuloImport::DisplayBlendShapeImportWarningDialog() {}
