#pragma once
// Published properties and the copyable persistent objects built on them.
//
// Every class that is stored in the job file or bound to a window lists its
// properties once, in one table, in their stored order: name, kind, element
// names of enumerations and sets, getter, setter and declared default. The
// object mapping of the tree document, the generic copy and the settings
// window all work from that table, so nothing else repeats the list.
//
//   const TPropList& TMyItem::ClassProperties() {
//     static const TPropList list = TPropTable<TMyItem>(TZkCollectionItem::ClassProperties())
//         .String("Name", &TMyItem::Name, &TMyItem::SetName)
//         .Boolean("SubDir", &TMyItem::SubDir, &TMyItem::SetSubDir, true)
//         .List();
//     return list;
//   }

#include <concepts>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace zk {

class TZkPersistent;

enum class TPropKind {
  Integer,      // 32-bit signed
  Char,         // one byte, stored by its code
  Enumeration,  // Boolean included (elements False, True)
  Float,        // dates and times included
  String,
  Set,          // up to 32 elements, bit n for element n
  Int64,
  Object,       // an owned object or owned collection
  Other,        // carried but neither written nor read
};

// The value of a non-object property: integers, characters, ordinals and
// set masks as int64, floating point as double, strings as string.
using TPropValue = std::variant<std::monostate, std::int64_t, double, std::string>;

struct TPropInfo {
  std::string Name;
  TPropKind Kind = TPropKind::Other;
  bool IsBoolean = false;                 // an enumeration of False, True
  std::vector<std::string> ElementNames;  // enumerations and sets
  TPropValue Default;
  std::function<TPropValue(const TZkPersistent&)> Get;
  std::function<void(TZkPersistent&, const TPropValue&)> Set;
  std::function<TZkPersistent&(TZkPersistent&)> ObjectOf;  // Object kind only

  // True when the object's current value equals the declared default
  // (always false for objects and Other).
  bool IsDefault(const TZkPersistent& object) const;
};

using TPropList = std::vector<TPropInfo>;

// A set of up to 32 enumeration elements, bit n for the element of ordinal n.
template <class E>
class TZkSet {
public:
  constexpr TZkSet() = default;
  constexpr TZkSet(std::initializer_list<E> elements) {
    for (E e : elements) Include(e);
  }
  static constexpr TZkSet FromMask(std::uint32_t mask) {
    TZkSet s;
    s.mask_ = mask;
    return s;
  }
  constexpr std::uint32_t Mask() const { return mask_; }
  constexpr bool Contains(E e) const { return (mask_ >> static_cast<unsigned>(e)) & 1u; }
  constexpr void Include(E e) { mask_ |= 1u << static_cast<unsigned>(e); }
  constexpr void Exclude(E e) { mask_ &= ~(1u << static_cast<unsigned>(e)); }
  constexpr bool Empty() const { return mask_ == 0; }
  friend constexpr bool operator==(TZkSet, TZkSet) = default;

private:
  std::uint32_t mask_ = 0;
};

// Builds the property table of class T, beginning with the inherited list.
// A property is either a getter and a setter (member functions, or anything
// std::invoke takes with a T) or a plain data member; the value types are
// converted to the kind's representation.
template <class T>
class TPropTable {
public:
  TPropTable() = default;
  explicit TPropTable(const TPropList& inherited) : list_(inherited) {}

  template <class G, class S>
    requires std::invocable<S&, T&, std::int32_t>
  TPropTable& Integer(std::string name, G get, S set, std::int32_t def = 0) {
    return Add(std::move(name), TPropKind::Integer, {}, std::int64_t{def}, Numeric<std::int32_t>(get, set));
  }
  template <class G, class S>
    requires std::invocable<S&, T&, std::int64_t>
  TPropTable& Int64(std::string name, G get, S set, std::int64_t def = 0) {
    return Add(std::move(name), TPropKind::Int64, {}, def, Numeric<std::int64_t>(get, set));
  }
  template <class G, class S>
    requires std::invocable<S&, T&, char>
  TPropTable& Char(std::string name, G get, S set, char def = '\0') {
    auto access = Accessors(
        [get](const T& o) -> TPropValue { return std::int64_t{static_cast<unsigned char>(std::invoke(get, o))}; },
        [set](T& o, const TPropValue& v) { std::invoke(set, o, static_cast<char>(std::get<std::int64_t>(v))); });
    return Add(std::move(name), TPropKind::Char, {}, std::int64_t{static_cast<unsigned char>(def)}, access);
  }
  template <class G, class S>
    requires std::invocable<S&, T&, bool>
  TPropTable& Boolean(std::string name, G get, S set, bool def = false) {
    auto access = Accessors(
        [get](const T& o) -> TPropValue { return std::int64_t{std::invoke(get, o) ? 1 : 0}; },
        // Any ordinal but 0 is a true value, as a hand-edited "2" is.
        [set](T& o, const TPropValue& v) { std::invoke(set, o, std::get<std::int64_t>(v) != 0); });
    TPropTable& self = Add(std::move(name), TPropKind::Enumeration, {"False", "True"}, std::int64_t{def ? 1 : 0}, access);
    list_.back().IsBoolean = true;
    return self;
  }
  template <class E, class G, class S>
  TPropTable& Enumeration(std::string name, std::vector<std::string> elements, G get, S set, E def) {
    const auto count = static_cast<std::int64_t>(elements.size());
    auto access = Accessors(
        [get](const T& o) -> TPropValue { return static_cast<std::int64_t>(std::invoke(get, o)); },
        // An ordinal outside the enumeration leaves the property as it is.
        [set, count](T& o, const TPropValue& v) {
          const auto ordinal = std::get<std::int64_t>(v);
          if (ordinal >= 0 && ordinal < count) std::invoke(set, o, static_cast<E>(ordinal));
        });
    return Add(std::move(name), TPropKind::Enumeration, std::move(elements), static_cast<std::int64_t>(def), access);
  }
  template <class G, class S>
  TPropTable& Set(std::string name, std::vector<std::string> elements, G get, S set, std::uint32_t defaultMask = 0) {
    using TSetType = std::remove_cvref_t<std::invoke_result_t<G&, const T&>>;
    // Bits beyond the set's elements are dropped.
    const std::uint32_t valid = elements.size() >= 32 ? ~0u : (1u << elements.size()) - 1u;
    auto access = Accessors(
        [get](const T& o) -> TPropValue { return std::int64_t{std::invoke(get, o).Mask()}; },
        [set, valid](T& o, const TPropValue& v) {
          std::invoke(set, o, TSetType::FromMask(static_cast<std::uint32_t>(std::get<std::int64_t>(v)) & valid));
        });
    return Add(std::move(name), TPropKind::Set, std::move(elements), std::int64_t{defaultMask}, access);
  }
  template <class G, class S>
    requires std::invocable<S&, T&, double>
  TPropTable& Float(std::string name, G get, S set, double def = 0.0) {
    auto access = Accessors([get](const T& o) -> TPropValue { return static_cast<double>(std::invoke(get, o)); },
                            [set](T& o, const TPropValue& v) { std::invoke(set, o, std::get<double>(v)); });
    return Add(std::move(name), TPropKind::Float, {}, def, access);
  }
  template <class G, class S>
    requires std::invocable<S&, T&, std::string>
  TPropTable& String(std::string name, G get, S set, std::string def = {}) {
    auto access = Accessors([get](const T& o) -> TPropValue { return std::string(std::invoke(get, o)); },
                            [set](T& o, const TPropValue& v) { std::invoke(set, o, std::get<std::string>(v)); });
    return Add(std::move(name), TPropKind::String, {}, std::move(def), access);
  }
  // The same kinds bound to data members.
  template <class V>
  TPropTable& Integer(std::string name, V T::*field, std::int32_t def = 0) {
    return Integer(std::move(name), field, Assign(field), def);
  }
  template <class V>
  TPropTable& Int64(std::string name, V T::*field, std::int64_t def = 0) {
    return Int64(std::move(name), field, Assign(field), def);
  }
  template <class V>
  TPropTable& Boolean(std::string name, V T::*field, bool def = false) {
    return Boolean(std::move(name), field, Assign(field), def);
  }
  template <class V>
  TPropTable& Float(std::string name, V T::*field, double def = 0.0) {
    return Float(std::move(name), field, Assign(field), def);
  }
  template <class V>
  TPropTable& String(std::string name, V T::*field, std::string def = {}) {
    return String(std::move(name), field, Assign(field), std::move(def));
  }
  template <class E>
  TPropTable& Enumeration(std::string name, std::vector<std::string> elements, E T::*field, E def) {
    return Enumeration(std::move(name), std::move(elements), field, Assign(field), def);
  }
  template <class E>
  TPropTable& Set(std::string name, std::vector<std::string> elements, TZkSet<E> T::*field, TZkSet<E> def = {}) {
    return Set(std::move(name), std::move(elements), field, Assign(field), def.Mask());
  }

  // An owned object or collection; `of` gives access to it.
  template <class F>
  TPropTable& Object(std::string name, F of) {
    TPropInfo info;
    info.Name = std::move(name);
    info.Kind = TPropKind::Object;
    info.ObjectOf = [of](TZkPersistent& o) -> TZkPersistent& { return std::invoke(of, static_cast<T&>(o)); };
    list_.push_back(std::move(info));
    return *this;
  }
  // A property of a kind the mapping does not carry (events and the like).
  TPropTable& Other(std::string name) {
    TPropInfo info;
    info.Name = std::move(name);
    list_.push_back(std::move(info));
    return *this;
  }

  // Ends the table; the builder is spent afterwards.
  TPropList List() { return std::move(list_); }

private:
  template <class V>
  static auto Assign(V T::*field) {
    return [field](T& o, V value) { o.*field = std::move(value); };
  }

  struct TAccess {
    std::function<TPropValue(const TZkPersistent&)> Get;
    std::function<void(TZkPersistent&, const TPropValue&)> Set;
  };

  template <class GetFn, class SetFn>
  static TAccess Accessors(GetFn get, SetFn set) {
    return {[get](const TZkPersistent& o) { return get(static_cast<const T&>(o)); },
            [set](TZkPersistent& o, const TPropValue& v) { set(static_cast<T&>(o), v); }};
  }

  template <class N, class G, class S>
  static TAccess Numeric(G get, S set) {
    return Accessors([get](const T& o) -> TPropValue { return static_cast<std::int64_t>(std::invoke(get, o)); },
                     [set](T& o, const TPropValue& v) { std::invoke(set, o, static_cast<N>(std::get<std::int64_t>(v))); });
  }

  TPropTable& Add(std::string name, TPropKind kind, std::vector<std::string> elements, TPropValue def, TAccess access) {
    TPropInfo info;
    info.Name = std::move(name);
    info.Kind = kind;
    info.ElementNames = std::move(elements);
    info.Default = std::move(def);
    info.Get = std::move(access.Get);
    info.Set = std::move(access.Set);
    list_.push_back(std::move(info));
    return *this;
  }

  TPropList list_;
};

// A class with a deep-copy assignment and published properties.
class TZkPersistent {
public:
  TZkPersistent() = default;
  TZkPersistent(const TZkPersistent&) = delete;
  TZkPersistent& operator=(const TZkPersistent&) = delete;
  virtual ~TZkPersistent() = default;

  // Copies the source into this object. A class overrides it for the sources
  // it knows and passes anything else on here, which lets the source try
  // (AssignTo).
  virtual void Assign(const TZkPersistent& source);

  // The class's own name, for messages ("TZkThreadSaveFile").
  std::string ClassName() const;

  // The published properties, inherited ones first.
  virtual const TPropList& Properties() const;
  static const TPropList& ClassProperties();

protected:
  // Copies this object into `dest`; fails with "Cannot assign a %s to a %s"
  // unless a class knows how.
  virtual void AssignTo(TZkPersistent& dest) const;

  // Copies every published property of `source` into this object, which is
  // of the same class or one derived from it: values through the setters,
  // owned objects and collections through their own Assign.
  void AssignProperties(const TZkPersistent& source, const TPropList& properties);

  // The Assign of a class whose published properties are its whole state:
  // a source of the class gives its properties and is returned as one;
  // anything else goes on to Base::Assign and gives null.
  template <class Self, class Base>
  const Self* AssignPublished(const TZkPersistent& source) {
    const auto* same = dynamic_cast<const Self*>(&source);
    if (same == nullptr) {
      static_cast<Self*>(this)->Base::Assign(source);
      return nullptr;
    }
    AssignProperties(source, Self::ClassProperties());
    return same;
  }

  [[noreturn]] void AssignError(const TZkPersistent& source) const;
};

class TZkCollection;

// A persistent object owned by a collection.
class TZkCollectionItem : public TZkPersistent {
public:
  TZkCollection* Collection() const { return collection_; }
  // Position in the collection, -1 when the item belongs to none.
  int Index() const;
  // The name shown for the item; the class name unless a class knows better.
  virtual std::string DisplayName() const;

private:
  friend class TZkCollection;
  TZkCollection* collection_ = nullptr;
};

// An ordered list of items that it creates, owns and copies item by item.
class TZkCollection : public TZkPersistent {
public:
  explicit TZkCollection(TZkPersistent* owner = nullptr) : owner_(owner) {}
  ~TZkCollection() override;

  TZkPersistent* Owner() const { return owner_; }
  int Count() const { return static_cast<int>(items_.size()); }
  // Fails with "List index out of bounds (%d)" outside 0 .. Count-1.
  TZkCollectionItem& Items(int index) const;
  TZkCollectionItem& Add();
  TZkCollectionItem& Insert(int index);
  void Delete(int index);
  void Clear();
  // Position of this very item, -1 when it is not in the collection.
  int IndexOf(const TZkCollectionItem& item) const;
  // Puts the items in the order `less` gives, keeping equal ones in place.
  void Sort(const std::function<bool(const TZkCollectionItem&, const TZkCollectionItem&)>& less);

  // From another collection: clears this one, then appends one new item per
  // source item, assigned from it, in order.
  void Assign(const TZkPersistent& source) override;

protected:
  virtual std::unique_ptr<TZkCollectionItem> CreateItem() const = 0;
  // Hooks for collections that report their changes.
  virtual void ItemInserted(TZkCollectionItem&) {}
  virtual void ItemRemoving(TZkCollectionItem&) {}

private:
  void CheckIndex(int index, int last) const;

  TZkPersistent* owner_;
  std::vector<std::unique_ptr<TZkCollectionItem>> items_;
};

// A collection of one item class, with typed access.
template <class Item, class Base = TZkCollection>
class TZkOwnedCollection : public Base {
public:
  using Base::Base;
  Item& Add() { return static_cast<Item&>(Base::Add()); }
  Item& Insert(int index) { return static_cast<Item&>(Base::Insert(index)); }
  Item& Items(int index) const { return static_cast<Item&>(Base::Items(index)); }

protected:
  std::unique_ptr<TZkCollectionItem> CreateItem() const override { return std::make_unique<Item>(); }
};

}  // namespace zk
