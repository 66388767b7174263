#include "config/TDVContext.h"

#include "config/TDVContextInternal.h"
#include "config/TextHash.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <unordered_map>

using namespace tdv_detail;

namespace {

// Contexts with up to this many tags are searched linearly: most list entries and elements hold
// a handful of members, where comparing lengths first is cheaper than hashing.
constexpr std::size_t kLinearSearchLimit = 8;

// A probe run this long is far beyond what a keyed hash gives a table kept half empty (fewer than
// one look-up in a hundred thousand meets one); each step past it is charged to the load, so that
// no set of names can make look-ups cost more than the load may.
constexpr std::size_t kFreeProbes = 64;

// The top 32 bits of the keyed hash: a table of 2^b slots takes the top b of them.
std::uint32_t HashName(std::string_view name) { return static_cast<std::uint32_t>(HashText(name) >> 32); }

std::size_t HomeSlot(std::uint32_t hash, std::size_t slots)
{
    return hash >> (32 - std::countr_zero(slots));
}

void ChargeProbes(std::size_t steps)
{
    if (steps > kFreeProbes)
        LoadBudget::Spend(static_cast<std::int64_t>(steps - kFreeProbes));
}

} // namespace

// ================================================================== the tree

TDVContext::TDVContext(TDVVarTag* ownerTag) : ownerTag_(ownerTag)
{
    if (ownerTag && ownerTag->Owner())
        depth_ = ownerTag->Owner()->depth_ + 1;
}

TDVContext::~TDVContext() { Clear(); }

void TDVContext::Clear()
{
    definitions_.reset();
    nameIndex_.clear();
    tags_.clear();
}

TDVVarTag* TDVContext::AddTagUnchecked(const std::string& name, ValType type, int arraySize, const NameKey& key)
{
    if (type == vtContext && depth_ >= MaxDepth)
        Fail("Contexts nested too deeply");
    LoadBudget::Spend(arraySize > 1 ? arraySize : 1);
    LoadBudget::SpendText(name.size());
    auto tag = std::make_unique<TDVVarTag>(name, type, arraySize, this);
    TDVVarTag* raw = tag.get();
    if (tags_.empty())
        tags_.reserve(4); // list entries and elements mostly hold a few members: one allocation
    tags_.push_back(std::move(tag));
    if (tags_.size() > kLinearSearchLimit) {
        if (tags_.size() * 2 > nameIndex_.size()) {
            // Kept at most half full, so that probe runs stay short.
            std::vector<NameSlot> old;
            old.swap(nameIndex_);
            nameIndex_.resize(std::max<std::size_t>(32, old.size() * 2));
            if (old.empty()) {
                for (std::size_t i = 0; i + 1 < tags_.size(); ++i)
                    IndexName(HashName(tags_[i]->Name()), static_cast<std::uint32_t>(i + 1));
            } else {
                for (const NameSlot& slot : old)
                    if (slot.position)
                        IndexName(slot.hash, slot.position);
            }
        }
        IndexName(key.hashed ? key.hash : HashName(name), static_cast<std::uint32_t>(tags_.size()));
    }
    if (const auto last = name.rfind("::"); last != std::string::npos) {
        if (!definitions_)
            definitions_ = std::make_unique<Definitions>();
        (*definitions_)[std::string_view(raw->Name()).substr(0, last)].push_back(raw);
    }
    // The last character first: most names are no list entry.
    if (name.size() > 2 && name.back() == ']') {
        const auto open = name.find('[');
        if (open == std::string::npos || open == 0)
            return raw;
        TDVVarTag* list = FindTag(std::string_view(name).substr(0, open));
        if (list && list->IsList())
            list->AddEntry(raw);
    }
    return raw;
}

TDVVarTag* TDVContext::AddTag(const std::string& name, ValType type, int arraySize)
{
    if (const char* kw = ReservedWord(name))
        Fail(std::string("TDVContext::AddTag: Ident name invalid. Word (") + kw + ") reserved.");
    const NameKey key = KeyOf(name);
    if (FindTag(name, key))
        Fail(" Ident name allready used");
    return AddTagUnchecked(name, type, arraySize, key);
}

TDVVarTag* TDVContext::AddContextDef(const std::string& member, ValType type, int arraySize)
{
    TDVContext* parent = GetParentContext();
    if (!parent)
        Fail(" ROOT context. can not add defs!");
    if (const char* kw = ReservedWord(member))
        Fail(std::string("TDVContext::AddContextDef: Ident name invalid. Word (") + kw + ") reserved.");
    const std::string full = GetName() + "::" + member;
    const NameKey key = parent->KeyOf(full);
    if (parent->FindTag(full, key))
        Fail(" Ident name allready used");
    return parent->AddTagUnchecked(full, type, arraySize, key);
}

const std::vector<TDVVarTag*>* TDVContext::DefinitionsOf(std::string_view array) const
{
    if (!definitions_)
        return nullptr;
    const auto it = definitions_->find(array);
    return it == definitions_->end() ? nullptr : &it->second;
}

void TDVContext::IndexName(std::uint32_t hash, std::uint32_t position)
{
    const std::size_t mask = nameIndex_.size() - 1;
    const std::size_t home = HomeSlot(hash, nameIndex_.size());
    std::size_t i = home;
    while (nameIndex_[i].position)
        i = (i + 1) & mask;
    ChargeProbes((i - home) & mask);
    nameIndex_[i] = {hash, position};
}

TDVContext::NameKey TDVContext::KeyOf(std::string_view name) const
{
    // The index exists, or the tag about to be added makes it.
    if (tags_.size() < kLinearSearchLimit)
        return {};
    return {HashName(name), true};
}

TDVVarTag* TDVContext::FindTag(std::string_view name) const { return FindTag(name, NameKey()); }

TDVVarTag* TDVContext::FindTag(std::string_view name, const NameKey& key) const
{
    if (nameIndex_.empty()) {
        for (const auto& tag : tags_)
            if (tag->Name() == name)
                return tag.get();
        return nullptr;
    }
    const std::uint32_t hash = key.hashed ? key.hash : HashName(name);
    const std::size_t mask = nameIndex_.size() - 1;
    const std::size_t home = HomeSlot(hash, nameIndex_.size());
    std::size_t i = home;
    for (; nameIndex_[i].position; i = (i + 1) & mask) {
        if (nameIndex_[i].hash != hash)
            continue;
        TDVVarTag* tag = tags_[nameIndex_[i].position - 1].get();
        if (tag->Name() == name) {
            ChargeProbes((i - home) & mask);
            return tag;
        }
    }
    ChargeProbes((i - home) & mask);
    return nullptr;
}

TDVVarTag* TDVContext::FindIdent(const std::string& name) const
{
    const auto open = name.find('[');
    if (open != std::string::npos)
        return FindTag(std::string_view(name).substr(0, open));
    TDVContext* parent = GetParentContext();
    if (!parent)
        return nullptr;
    const std::string& own = ownerTag_->Name(); // a context with a parent has an owner tag
    LoadBudget::SpendText(own.size() + name.size());
    const auto ownOpen = own.find('[');
    if (ownOpen != std::string::npos) {
        TDVVarTag* list = ownerTag_->List();
        if (!list)
            list = parent->FindTag(std::string_view(own).substr(0, ownOpen));
        if (!list || list->Type() != vtContext)
            return nullptr;
        return list->Context(0)->FindTag(name);
    }
    // Without definitions of its array the parent holds no "<own>::<name>" (a name without "::"
    // is kept under its array's name).
    if (name.find(':') == std::string::npos && !parent->DefinitionsOf(own))
        return nullptr;
    return parent->FindTag(own + "::" + name);
}

TDVVarTag* TDVContext::CopyTagInto(TDVVarTag* tag)
{
    if (!tag)
        return nullptr;
    std::string newName = tag->Name();
    const auto sep = newName.find("::");
    if (sep != std::string::npos)
        newName.erase(0, sep + 2);
    return CopyTagAs(tag, newName);
}

TDVVarTag* TDVContext::CopyTagAs(TDVVarTag* tag, const std::string& newName)
{
    TDVVarTag* copy = AddTag(newName, tag->Type(), tag->IsList() ? -1 : tag->Count());
    copy->CopyTagValue(*tag);
    if (copy->Type() == vtContext && (tag->IsList() || tag->Count() == 1)) {
        // The element's own tags keep their names: among them may be member definitions
        // ("arr::x") of arrays declared inside it, which must stay definitions.
        TDVContext* from = tag->Context(0);
        TDVContext* to = copy->Context(0);
        const std::size_t n = from->tags_.size();
        for (std::size_t i = 0; i < n; ++i) {
            TDVVarTag* member = from->tags_[i].get();
            if (!to->FindTag(member->Name()))
                to->CopyTagAs(member, member->Name());
        }
    }
    // Member definitions of a context array nested in the copied one follow it under the
    // copy's name, so that "riff::sub::y" becomes "sub::y" beside "sub", and "n2::n3" stays
    // "n2::n3" beside "n2".
    TDVContext* owner = tag->Owner();
    if (const std::vector<TDVVarTag*>* definitions = owner ? owner->DefinitionsOf(tag->Name()) : nullptr) {
        const std::size_t full = tag->Name().size();
        // By position: copying into the owner itself adds to the list.
        const std::size_t n = definitions->size();
        for (std::size_t i = 0; i < n; ++i) {
            LoadBudget::Spend(1); // each definition looked at, copied or not
            TDVVarTag* t = (*definitions)[i];
            const std::string name = newName + t->Name().substr(full);
            if (!FindTag(name))
                CopyTagAs(t, name);
        }
    }
    return copy;
}

TDVVarTag* TDVContext::GetListTagByID(TDVVarTag* listTag, const std::string& id)
{
    if (id.find('*') != std::string::npos)
        Fail("TDVContext::GetListTagByID Invalid use symbol '*' in list ID");
    TDVVarTag* list = listTag;
    if (listTag->Owner() != this) {
        std::string name = listTag->Name();
        const auto sep = name.find("::");
        if (sep != std::string::npos)
            name.erase(0, sep + 2);
        list = FindTag(name);
        if (!list)
            list = CopyTagInto(listTag);
    }
    const std::string entryName = EntryName(list->Name(), id);
    LoadBudget::SpendText(entryName.size());
    const NameKey key = KeyOf(entryName);
    TDVVarTag* entry = FindTag(entryName, key);
    if (!entry) {
        // Checked above, and a name with "[" is never a keyword: nothing left for AddTag to refuse.
        entry = AddTagUnchecked(entryName, list->Type(), 1, key);
        if (!entry)
            Fail("TDVContext::GetListTagByID Internal: Can't add tag to context");
    }
    return entry;
}

std::string TDVContext::GetName() const { return ownerTag_ ? ownerTag_->Name() : "$ROOT$"; }

TDVContext* TDVContext::GetParentContext() const { return ownerTag_ ? ownerTag_->Owner() : nullptr; }

TDVContext* TDVContext::GetRoot()
{
    TDVContext* c = this;
    while (TDVContext* p = c->GetParentContext())
        c = p;
    return c;
}
