#pragma once
// Walks and fillers of built parameter trees that several suites share.
#include <functional>

#include "model/DescBranch.h"
#include "model/Parameter.h"

// Every parameter of the subtree, own parameters first, then the children in order.
void ForEachParameter(DescBranch& branch, const std::function<void(Parameter&)>& f);

// Gives every stored field of every parameter a value of its own, so that a
// stored and reloaded tree shows any field that was lost or mixed up.
void FillDistinct(DescBranch& root);
