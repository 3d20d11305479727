// The whole value model: include this to build, read or compare documents.
#pragma once

#include "json/array.h"
#include "json/exception.h"
#include "json/object.h"
#include "json/trivial_type.h"
#include "json/unknown_element.h"
#include "json/visitor.h"
