#pragma once

#include <Morva/Object.h>
#include <Orvek/Collection.h>

#include <set>

namespace Morva {

class Pole;
class Domain;
class Subdomain;
class Route;
class CPath;
class FPath;
class DPath;
class MPath;

// The named collection types of the library (views of object pointers).
using Poles = Orvek::Collection<Pole*>;
using Domains = Orvek::Collection<Domain*>;
using Subdomains = Orvek::Collection<Subdomain*>;
using Routes = Orvek::Collection<Route*>;
using CPaths = Orvek::Collection<CPath*>;
using FPaths = Orvek::Collection<FPath*>;
using DPaths = Orvek::Collection<DPath*>;
using MPaths = Orvek::Collection<MPath*>;

// Poles in creation order.
using PoleSet = std::set<Pole*, Object::StampLess>;

}  // namespace Morva
