#pragma once

// Rebalancing of the height-balanced search trees (the dealer outcome cache
// and the player hand trees). A node has `balance` (height of its right
// subtree minus that of its left, -1..+1) and `left`/`right` links.

// After an insertion on the right made the right side two higher: a single
// or double rotation; the link then holds the subtree's new root, no higher
// than before the insertion.
template <typename Node>
void rotateRightHeavy(Node*& link) {
  Node* node = link;
  Node* r = node->right;
  if (r->balance == 1) {
    node->right = r->left;
    r->left = node;
    node->balance = 0;
    r->balance = 0;
    link = r;
    return;
  }
  Node* q = r->left;
  r->left = q->right;
  q->right = r;
  node->right = q->left;
  q->left = node;
  node->balance = q->balance == 1 ? -1 : 0;
  r->balance = q->balance == -1 ? 1 : 0;
  q->balance = 0;
  link = q;
}

// The mirror image, after an insertion on the left.
template <typename Node>
void rotateLeftHeavy(Node*& link) {
  Node* node = link;
  Node* l = node->left;
  if (l->balance == -1) {
    node->left = l->right;
    l->right = node;
    node->balance = 0;
    l->balance = 0;
    link = l;
    return;
  }
  Node* q = l->right;
  l->right = q->left;
  q->left = l;
  node->left = q->right;
  q->right = node;
  node->balance = q->balance == -1 ? 1 : 0;
  l->balance = q->balance == 1 ? -1 : 0;
  q->balance = 0;
  link = q;
}

// Called when the subtree on one side of link's node grew higher; returns
// whether the whole subtree at link grew.
template <typename Node>
bool rightSideGrew(Node*& link) {
  Node* node = link;
  if (node->balance == -1) {
    node->balance = 0;
    return false;
  }
  if (node->balance == 0) {
    node->balance = 1;
    return true;
  }
  rotateRightHeavy(link);
  return false;
}

template <typename Node>
bool leftSideGrew(Node*& link) {
  Node* node = link;
  if (node->balance == 1) {
    node->balance = 0;
    return false;
  }
  if (node->balance == 0) {
    node->balance = -1;
    return true;
  }
  rotateLeftHeavy(link);
  return false;
}
