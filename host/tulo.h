// The whole host API of the stand-in.
#pragma once

#include "tdagpath.h"
#include "tfnanimcurve.h"
#include "tfnattribute.h"
#include "tfndagnode.h"
#include "tfndependencynode.h"
#include "tfntransform.h"
#include "tglobal.h"
#include "titdag.h"
#include "titdependencygraph.h"
#include "tmath.h"
#include "tobject.h"
#include "tplug.h"
#include "tselectionlist.h"
#include "tstatus.h"
#include "tunits.h"
