// Global host services.
#pragma once

#include "tobject.h"

class TSelectionList;

class TGlobal {
public:
    // A node with its DAG subtree (an instance under another parent stays), or an unattached
    // attribute.
    static TStatus deleteNode(const TObject& object);
    // Deleted or reparented items drop out of the active selection.
    static TStatus getActiveSelectionList(TSelectionList& list);
    static TStatus setActiveSelectionList(const TSelectionList& list);
};
