#include "config/TDVContext.h"

#include "config/TDVContextInternal.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <unordered_map>

using namespace tdv_detail;

namespace {

// Contexts with up to this many tags are searched linearly: most list entries and elements hold
// a handful of members, where comparing lengths first is cheaper than hashing.
constexpr std::size_t kLinearSearchLimit = 8;

// Names are short: eight bytes at a time with a multiply to mix, the tail read in one word too.
std::uint32_t HashName(std::string_view name)
{
    constexpr std::uint64_t k = 0x9E3779B97F4A7C15ull;
    std::uint64_t h = name.size() * k;
    const char* p = name.data();
    std::size_t n = name.size();
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        h = (h ^ w) * k;
        h ^= h >> 29;
    }
    if (n > 0) {
        // The last one to seven bytes, read as two overlapping halves (or three single bytes).
        std::uint64_t w;
        if (n >= 4) {
            std::uint32_t lo;
            std::uint32_t hi;
            std::memcpy(&lo, p, 4);
            std::memcpy(&hi, p + n - 4, 4);
            w = (std::uint64_t(hi) << 32) | lo;
        } else {
            w = std::uint64_t(static_cast<unsigned char>(p[0])) |
                std::uint64_t(static_cast<unsigned char>(p[n / 2])) << 8 |
                std::uint64_t(static_cast<unsigned char>(p[n - 1])) << 16;
        }
        h = (h ^ w) * k;
        h ^= h >> 29;
    }
    return static_cast<std::uint32_t>(h ^ (h >> 32));
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

TDVVarTag* TDVContext::AddTagUnchecked(const std::string& name, ValType type, int arraySize)
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
        IndexName(HashName(raw->Name()), static_cast<std::uint32_t>(tags_.size()));
    }
    if (const auto last = name.rfind("::"); last != std::string::npos) {
        if (!definitions_)
            definitions_ = std::make_unique<std::unordered_map<std::string_view, std::vector<TDVVarTag*>>>();
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
    if (FindTag(name))
        Fail(" Ident name allready used");
    return AddTagUnchecked(name, type, arraySize);
}

TDVVarTag* TDVContext::AddContextDef(const std::string& member, ValType type, int arraySize)
{
    TDVContext* parent = GetParentContext();
    if (!parent)
        Fail(" ROOT context. can not add defs!");
    if (const char* kw = ReservedWord(member))
        Fail(std::string("TDVContext::AddContextDef: Ident name invalid. Word (") + kw + ") reserved.");
    const std::string full = GetName() + "::" + member;
    if (parent->FindTag(full))
        Fail(" Ident name allready used");
    return parent->AddTagUnchecked(full, type, arraySize);
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
    std::size_t i = hash & mask;
    while (nameIndex_[i].position)
        i = (i + 1) & mask;
    nameIndex_[i] = {hash, position};
}

TDVVarTag* TDVContext::FindTag(std::string_view name) const
{
    if (nameIndex_.empty()) {
        for (const auto& tag : tags_)
            if (tag->Name() == name)
                return tag.get();
        return nullptr;
    }
    const std::uint32_t hash = HashName(name);
    const std::size_t mask = nameIndex_.size() - 1;
    for (std::size_t i = hash & mask; nameIndex_[i].position; i = (i + 1) & mask) {
        if (nameIndex_[i].hash != hash)
            continue;
        TDVVarTag* tag = tags_[nameIndex_[i].position - 1].get();
        if (tag->Name() == name)
            return tag;
    }
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
        TDVVarTag* list = parent->FindTag(std::string_view(own).substr(0, ownOpen));
        if (!list || list->Type() != vtContext)
            return nullptr;
        return list->Context(0)->FindTag(name);
    }
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
    std::string entryName;
    entryName.reserve(list->Name().size() + id.size() + 2);
    entryName.append(list->Name()).append(1, '[').append(id).append(1, ']');
    LoadBudget::SpendText(entryName.size());
    TDVVarTag* entry = FindTag(entryName);
    if (!entry) {
        // Checked above, and a name with "[" is never a keyword: nothing left for AddTag to refuse.
        entry = AddTagUnchecked(entryName, list->Type(), 1);
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
