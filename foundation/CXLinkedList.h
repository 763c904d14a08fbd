#pragma once

class CXLinkedListHead;

// The links that put an element into one CXLinkedListHead. An element derives from it; an element
// that sits in several lists derives from one subclass of it per list. The list never owns its
// elements: an owner removes an element before destroying it.
class CXLinkedListNode {
public:
    CXLinkedListNode() = default;
    // A copy starts outside every list; assigning keeps the target's own links.
    CXLinkedListNode(const CXLinkedListNode&) {}
    CXLinkedListNode& operator=(const CXLinkedListNode&) { return *this; }

    // Neighbours in the list, null at the ends and outside any list.
    CXLinkedListNode* prev() const { return fPrev; }
    CXLinkedListNode* next() const { return fNext; }
    // The list the node is in, null when in none.
    CXLinkedListHead* list() const { return fList; }

private:
    friend class CXLinkedListHead;
    CXLinkedListNode* fPrev = nullptr;
    CXLinkedListNode* fNext = nullptr;
    CXLinkedListHead* fList = nullptr;
};

// Position in a list: a node, or null at the end. Advancing follows `next`.
class CXLinkedListIterator {
public:
    CXLinkedListIterator() = default;
    explicit CXLinkedListIterator(CXLinkedListNode* node) : fNode(node) {}

    CXLinkedListNode* node() const { return fNode; }
    // The element holding the current node (null at the end). Link is the node class the element
    // derives from for this list.
    template <class T, class Link = CXLinkedListNode>
    T* Get() const
    {
        return fNode != nullptr ? static_cast<T*>(static_cast<Link*>(fNode)) : nullptr;
    }

    // Not at the end.
    explicit operator bool() const { return fNode != nullptr; }
    // Only at a node, never at the end.
    CXLinkedListNode& operator*() const { return *fNode; }
    CXLinkedListNode* operator->() const { return fNode; }

    // Stays at the end once there.
    CXLinkedListIterator& operator++()
    {
        if (fNode != nullptr)
            fNode = fNode->next();
        return *this;
    }

    bool operator==(const CXLinkedListIterator& other) const = default;

private:
    CXLinkedListNode* fNode = nullptr;
};

// Intrusive doubly linked list of CXLinkedListNode. Misuse (inserting a node that is in a list,
// removing one that is not in this list) is reported with CXDebugError and changes nothing. Not
// locked: the owner guards it.
class CXLinkedListHead {
public:
    CXLinkedListHead() = default;
    // Only checks: a list that still has nodes is reported as "~CXLinkedListHead> List not
    // empty."; the nodes keep their links.
    ~CXLinkedListHead();

    CXLinkedListHead(const CXLinkedListHead&) = delete;
    CXLinkedListHead& operator=(const CXLinkedListHead&) = delete;

    // Links the node at the front. A node already in a list is reported as
    // "CXLinkedListHead::Insert> Node is already in list.".
    void Insert(CXLinkedListNode& node);
    // Links the node at the end. A node already in a list is reported as
    // "CXLinkedListHead::InsertLast> Node is already in list.".
    void InsertLast(CXLinkedListNode& node);
    // Links the node just before `before`. A `before` outside this list is reported as
    // "CXLinkedListHead<T>::InsertBetween> 'before' is not a member of this list.", a node already
    // in a list as "CXLinkedListHead::InsertBefore> Node is already in list."; neither changes
    // anything.
    void InsertBefore(CXLinkedListNode& node, CXLinkedListNode& before);
    // Unlinks the node and clears its links. A node outside this list is reported as
    // "CXLinkedListHead::Remove> Node is not in this list.".
    void Remove(CXLinkedListNode& node);

    // An iterator at the node. A null node ("CXLinkedListHead::GetIteratorForNode> NULL node")
    // or one of another list ("CXLinkedListHead::GetIteratorForNode> Node is not in this list")
    // is reported and gives the end iterator.
    CXLinkedListIterator GetIteratorForNode(CXLinkedListNode* node) const;

    CXLinkedListNode* first() const { return fFirst; }
    CXLinkedListNode* last() const { return fLast; }
    bool IsEmpty() const { return fFirst == nullptr; }

    // Iteration from first along next. Removing the current node ends its links, so a loop that
    // removes takes the next node first.
    CXLinkedListIterator begin() const { return CXLinkedListIterator(fFirst); }
    CXLinkedListIterator end() const { return CXLinkedListIterator(); }

private:
    CXLinkedListNode* fFirst = nullptr;
    CXLinkedListNode* fLast = nullptr;
};
