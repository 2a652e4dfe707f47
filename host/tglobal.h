// Global host services.
#pragma once

#include "tobject.h"

class TSelectionList;
class TStringArray;
class TDoubleArray;

class TGlobal {
public:
    // A node with its DAG subtree (an instance under another parent stays), or an unattached
    // attribute.
    static TStatus deleteNode(const TObject& object);
    // Deleted or reparented items drop out of the active selection.
    static TStatus getActiveSelectionList(TSelectionList& list);
    static TStatus setActiveSelectionList(const TSelectionList& list);
    // The sets (in creation order) holding an item of the list: its exact path, or its
    // components; a dependency node by itself.
    static TStatus getAssociatedSets(const TSelectionList& list, TObjectArray& sets);

    // Runs script text; its result is the last statement's. `display` echoes each statement's
    // result or error. A typed result is set only on success and when the type fits (int: an
    // int or bool; double: any number; doubles: numbers; strings: anything); a result of another
    // type fails and leaves it untouched.
    static TStatus executeCommand(const TString& command, bool display = false, bool undo = false);
    static TStatus executeCommand(const TString& command, int& result, bool display = false, bool undo = false);
    static TStatus executeCommand(const TString& command, double& result, bool display = false, bool undo = false);
    static TStatus executeCommand(const TString& command, TDoubleArray& result, bool display = false,
                                  bool undo = false);
    static TStatus executeCommand(const TString& command, TStringArray& result, bool display = false,
                                  bool undo = false);
};
