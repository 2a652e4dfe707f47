// Global host services.
#pragma once

#include "tobject.h"

class TSelectionList;

class TGlobal {
public:
    // A node with its DAG subtree (an instance under another parent stays), or an unattached
    // attribute.
    static TStatus deleteNode(const TObject& object);
};
