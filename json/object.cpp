#include "json/object.h"

#include "json/exception.h"

namespace json {

Object::iterator Object::Find(const std::string& name) {
  iterator it = m_members.begin();
  while (it != m_members.end() && it->name != name) ++it;
  return it;
}

Object::const_iterator Object::Find(const std::string& name) const {
  const_iterator it = m_members.begin();
  while (it != m_members.end() && it->name != name) ++it;
  return it;
}

Object::iterator Object::Insert(const Member& member, iterator where) {
  if (Find(member.name) != m_members.end()) throw Exception("Object member already exists: " + member.name);
  return m_members.insert(where, member);
}

Object::iterator Object::Insert(Member&& member, iterator where) {
  if (Find(member.name) != m_members.end()) throw Exception("Object member already exists: " + member.name);
  iterator inserted = m_members.emplace(where);
  inserted->name.swap(member.name);
  inserted->element.Swap(member.element);
  return inserted;
}

UnknownElement& Object::operator[](const std::string& name) {
  iterator it = Find(name);
  if (it == m_members.end()) it = Insert(Member(name), m_members.end());
  return it->element;
}

bool Object::operator==(const Object& other) const {
  if (m_members.size() != other.m_members.size()) return false;
  for (const_iterator mine = m_members.begin(), theirs = other.m_members.begin(); mine != m_members.end();
       ++mine, ++theirs) {
    if (mine->name != theirs->name || !(mine->element == theirs->element)) return false;
  }
  return true;
}

}  // namespace json
