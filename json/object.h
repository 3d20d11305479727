// A JSON object: members in insertion order, each name present at most once.
#pragma once

#include <cstddef>
#include <list>
#include <string>
#include <utility>

#include "json/unknown_element.h"

namespace json {

class Object {
 public:
  struct Member {
    Member() = default;
    explicit Member(std::string memberName, const UnknownElement& memberElement = UnknownElement())
        : name(std::move(memberName)), element(memberElement) {}

    std::string name;  // bytes, compared exactly
    UnknownElement element;
  };

  using Members = std::list<Member>;
  using iterator = Members::iterator;
  using const_iterator = Members::const_iterator;

  iterator Begin() { return m_members.begin(); }
  iterator End() { return m_members.end(); }
  const_iterator Begin() const { return m_members.begin(); }
  const_iterator End() const { return m_members.end(); }
  iterator begin() { return m_members.begin(); }
  iterator end() { return m_members.end(); }
  const_iterator begin() const { return m_members.begin(); }
  const_iterator end() const { return m_members.end(); }
  std::size_t Size() const { return m_members.size(); }
  bool Empty() const { return m_members.empty(); }

  // The member whose name has the same length and the same bytes (case
  // matters), or End(). A walk from the first member; nothing is reordered.
  iterator Find(const std::string& name);
  const_iterator Find(const std::string& name) const;

  // Inserts a copy of `member` before `where` and returns its position. A name
  // that is already present throws Exception "Object member already exists: "
  // + name and leaves the object unchanged.
  iterator Insert(const Member& member, iterator where);
  iterator Insert(const Member& member) { return Insert(member, End()); }
  // The same, taking over the member's name and element instead of copying
  // them, so that a parsed subtree is linked in without being copied again.
  // On the duplicate-name failure `member` is left untouched.
  iterator Insert(Member&& member, iterator where);
  iterator Insert(Member&& member) { return Insert(std::move(member), End()); }

  // The element of the member with that name; a missing name is first
  // appended as a member holding null. Used to read, it still changes the
  // object.
  UnknownElement& operator[](const std::string& name);

  // Same count and, in order, pairwise identical names and equal elements:
  // the same members in another order are a different object.
  bool operator==(const Object& other) const;

 private:
  Members m_members;
};

}  // namespace json
