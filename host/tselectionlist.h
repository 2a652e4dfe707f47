// Selection lists and their iterator.
#pragma once

#include <vector>

#include "tdagpath.h"

class TSelectionList {
public:
    // A DAG path with an optional component; with `merge` an item already held is not added again.
    TStatus add(const TDagPath& path, const TObject& component = TObject::kNullObj, bool merge = false);
    // A dependency node (a DAG node goes in as its instance 0 path).
    TStatus add(const TObject& node, bool merge = false);
    TStatus add(const TSelectionList& other, bool merge = false);
    unsigned length(TStatus* status = nullptr) const;
    TStatus clear();
    TStatus remove(unsigned index);
    bool isEmpty(TStatus* status = nullptr) const { return length(status) == 0; }
    TStatus getDependNode(unsigned index, TObject& node) const;
    TStatus getDagPath(unsigned index, TDagPath& path, TObject& component) const;
    TStatus getDagPath(unsigned index, TDagPath& path) const;
    // Exact path and component.
    bool hasItem(const TDagPath& path, const TObject& component = TObject::kNullObj, TStatus* status = nullptr) const;
    bool hasItem(const TObject& node, TStatus* status = nullptr) const;

    struct Item {
        TDagPath path;
        TObject node, component;
    };
    const std::vector<Item>& items() const { return items_; }

private:
    std::vector<Item> items_;
};

class TItSelectionList {
public:
    // Filter 518 takes every DAG item; 0 takes all; another code tests the item's node.
    TItSelectionList(const TSelectionList& list, int filter = TFn::kInvalid, TStatus* status = nullptr);
    bool isDone(TStatus* status = nullptr) const;
    TStatus next();
    TStatus reset();
    TStatus getDagPath(TDagPath& path, TObject& component) const;
    TStatus getDagPath(TDagPath& path) const;
    TStatus getDependNode(TObject& node) const;

private:
    bool passes(std::size_t i) const;
    void skip();
    TSelectionList list_;
    int filter_ = 0;
    std::size_t index_ = 0;
};
