#include "foundation/CXLinkedList.h"

#include "foundation/CXDebug.h"

CXLinkedListHead::~CXLinkedListHead()
{
    if (fFirst != nullptr)
        CXDebugError("~CXLinkedListHead> List not empty.");
}

void CXLinkedListHead::Insert(CXLinkedListNode& node)
{
    if (node.fList != nullptr) {
        CXDebugError("CXLinkedListHead::Insert> Node is already in list.");
        return;
    }
    node.fList = this;
    node.fPrev = nullptr;
    node.fNext = fFirst;
    if (fFirst != nullptr)
        fFirst->fPrev = &node;
    else
        fLast = &node;
    fFirst = &node;
}

void CXLinkedListHead::InsertLast(CXLinkedListNode& node)
{
    if (node.fList != nullptr) {
        CXDebugError("CXLinkedListHead::InsertLast> Node is already in list.");
        return;
    }
    node.fList = this;
    node.fNext = nullptr;
    node.fPrev = fLast;
    if (fLast != nullptr)
        fLast->fNext = &node;
    else
        fFirst = &node;
    fLast = &node;
}

void CXLinkedListHead::InsertBefore(CXLinkedListNode& node, CXLinkedListNode& before)
{
    if (before.fList != this) {
        CXDebugError("CXLinkedListHead<T>::InsertBetween> 'before' is not a member of this list.");
        return;
    }
    // Linking a node that is already in a list would corrupt both lists.
    if (node.fList != nullptr) {
        CXDebugError("CXLinkedListHead::InsertBefore> Node is already in list.");
        return;
    }
    node.fList = this;
    node.fNext = &before;
    node.fPrev = before.fPrev;
    if (before.fPrev != nullptr)
        before.fPrev->fNext = &node;
    else
        fFirst = &node;
    before.fPrev = &node;
}

void CXLinkedListHead::Remove(CXLinkedListNode& node)
{
    if (node.fList != this) {
        CXDebugError("CXLinkedListHead::Remove> Node is not in this list.");
        return;
    }
    if (node.fPrev != nullptr)
        node.fPrev->fNext = node.fNext;
    else
        fFirst = node.fNext;
    if (node.fNext != nullptr)
        node.fNext->fPrev = node.fPrev;
    else
        fLast = node.fPrev;
    node.fPrev = nullptr;
    node.fNext = nullptr;
    node.fList = nullptr;
}

CXLinkedListIterator CXLinkedListHead::GetIteratorForNode(CXLinkedListNode* node) const
{
    if (node == nullptr) {
        CXDebugError("CXLinkedListHead::GetIteratorForNode> NULL node");
        return end();
    }
    if (node->fList != this) {
        CXDebugError("CXLinkedListHead::GetIteratorForNode> Node is not in this list");
        return end();
    }
    return CXLinkedListIterator(node);
}
