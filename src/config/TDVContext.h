#pragma once
// A node of the configuration tree: a named scope holding tags in the order they were added,
// reached by key paths such as "settings.ShowFingering" or "riff[#].file_prefix[#]". Also the
// parser, the statements and the writer of the configuration text, which all work on it.
//
// GUI thread only (the "#" queue is global). Every failure throws Exception with the text given
// at the operation; nothing is rolled back. A context owns its tags and, through them, its
// sub-contexts; returned tags and contexts stay owned by the tree.
#include "config/ConfigKeywords.h"
#include "config/TDVVarTag.h"
#include "config/TextHash.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TDVContextHive;
class TStringList;

class TDVContext {
public:
    // Largest element count of one array, one index list or one morphed range of a list; keeps a
    // corrupt file from asking for gigabytes.
    static constexpr int MaxElements = 65536;
    // Deepest context below the root; the tree is walked recursively (freed, copied, written),
    // and files, blocks and pointers could otherwise build it deeper than the stack reaches.
    static constexpr int MaxDepth = 1000;

    // ownerTag is null for a root.
    explicit TDVContext(TDVVarTag* ownerTag = nullptr);
    ~TDVContext();
    TDVContext(const TDVContext&) = delete;
    TDVContext& operator=(const TDVContext&) = delete;

    // ---- the tree ----
    void Clear();
    // Refuses a keyword as name ("TDVContext::AddTag: Ident name invalid. Word (<kw>) reserved."),
    // a name already held here (" Ident name allready used") and a context deeper than MaxDepth
    // ("Contexts nested too deeply").
    TDVVarTag* AddTag(const std::string& name, ValType type, int arraySize);
    // For an element of a context array: adds the shared member definition "<name>::<member>" to
    // the parent. " ROOT context. can not add defs!" on the root.
    TDVVarTag* AddContextDef(const std::string& member, ValType type, int arraySize);
    [[nodiscard]] TDVVarTag* FindTag(std::string_view name) const;
    // The tag that stands for a name this context does not hold: the list tag of an entry name,
    // the template member of a list entry, or the member definition of an array element; null.
    [[nodiscard]] TDVVarTag* FindIdent(const std::string& name) const;
    // Copies tag (value, template members and nested member definitions) into this context
    // under its name without the part up to the first "::"; returns the copy, null for null.
    TDVVarTag* CopyTagInto(TDVVarTag* tag);
    [[nodiscard]] std::string GetName() const;
    [[nodiscard]] TDVContext* GetParentContext() const;
    [[nodiscard]] TDVContext* GetRoot();
    [[nodiscard]] TDVVarTag* OwnerTag() const { return ownerTag_; }
    [[nodiscard]] const std::vector<std::unique_ptr<TDVVarTag>>& Tags() const { return tags_; }
    // The member definitions held here for the context array named array ("<array>::<member>",
    // member without "::"), in tag order; null when there are none.
    [[nodiscard]] const std::vector<TDVVarTag*>* DefinitionsOf(std::string_view array) const;

    // ---- key paths ----
    // Resolves a normalised path; index receives the 0-based element or -1 for a whole array.
    // raise false: null instead of the resolver's own errors. create true: copies member
    // definitions into elements and creates missing list entries on the way.
    TDVVarTag* FindTagByPath(const std::string& path, int& index, bool raise, bool create);

    [[nodiscard]] std::string GetString(const std::string& path);
    [[nodiscard]] std::string GetValueText(const std::string& path);
    [[nodiscard]] std::int32_t GetInteger(const std::string& path);
    [[nodiscard]] bool GetBool(const std::string& path);
    [[nodiscard]] float GetFloat(const std::string& path);
    [[nodiscard]] TDVContext* GetContext(const std::string& path);
    void SetString(const std::string& path, const std::string& value);
    void SetInteger(const std::string& path, std::int32_t value);
    void SetBool(const std::string& path, bool value);
    float SetFloat(const std::string& path, float value);
    // A list: its number of entries; else the tag's element count.
    [[nodiscard]] int GetCount(const std::string& path);
    // Appends the IDs of a list's entries in creation order; returns their number.
    int EnumListIDs(const std::string& path, TStringList& ids);
    // Copies every element into buffer (layout of TDVVarTag::Data()).
    void ReadArray(const std::string& path, void* buffer);
    [[nodiscard]] void* GetDataPtr(const std::string& path);
    [[nodiscard]] ValType GetTagType(const std::string& path);
    // The path is taken as it is (not normalised); never raises the resolver's own errors.
    [[nodiscard]] bool Exists(const std::string& path);

    // Indexed variants: clear the global "#" queue and push the indices up to the first one
    // that is <= 0 (or empty), then run the operation above.
    [[nodiscard]] std::string GetValueTextAt(const std::string& path, int i1 = 0, int i2 = 0, int i3 = 0);
    [[nodiscard]] std::int32_t GetIntegerAt(const std::string& path, int i1 = 0, int i2 = 0, int i3 = 0);
    [[nodiscard]] float GetFloatAt(const std::string& path, int i1 = 0, int i2 = 0, int i3 = 0);
    [[nodiscard]] TDVContext* GetContextAt(const std::string& path, int i1 = 0, int i2 = 0, int i3 = 0);
    void SetStringAt(const std::string& path, const std::string& value, int i1 = 0, int i2 = 0, int i3 = 0);
    void SetIntegerAt(const std::string& path, std::int32_t value, int i1 = 0, int i2 = 0, int i3 = 0);
    float SetFloatAt(const std::string& path, float value, int i1 = 0, int i2 = 0, int i3 = 0);
    [[nodiscard]] std::string GetValueTextByID(const std::string& path, const std::string& s1,
                                               const std::string& s2 = {}, const std::string& s3 = {});
    [[nodiscard]] std::string GetStringByID(const std::string& path, const std::string& s1,
                                            const std::string& s2 = {}, const std::string& s3 = {});
    [[nodiscard]] std::int32_t GetIntegerByID(const std::string& path, const std::string& s1,
                                              const std::string& s2 = {}, const std::string& s3 = {});
    [[nodiscard]] TDVContext* GetContextByID(const std::string& path, const std::string& s1,
                                             const std::string& s2 = {}, const std::string& s3 = {});

    // ---- text and files ----
    // Loads a file into this context. The name is taken as given (a relative one from the current
    // folder); its folder becomes the context's base directory if it has none yet, and includes
    // resolve their names against that base (MakeFilePath). A missing file raises
    // "TDVContext::LoadFromFile: file not found '<name>'" only when mustExist is set; a parse
    // failure is re-raised with "; File=<name>" appended; a file that includes itself (directly
    // or through others) raises "TDVContext::LoadFromFile: recursive include of '<name>'".
    void LoadFromFile(const std::string& fileName, bool mustExist);
    // Parses lines first .. end-1 (end <= 0: to the last line). The first failing line stops the
    // load; the error carries "; Line=<index>" per open block level.
    void LoadFromStrings(const TStringList& lines, int first = 0, int end = 0);
    // Parses one normalised line in the hive's current context; returns the number of further
    // passes a block over several elements needs. Errors: " <message>; Line='<line>'".
    int ParseLine(TDVContextHive& hive, const std::string& line);
    // The entry tag "<list>[<id>]" of this context, created when absent.
    TDVVarTag* GetListTagByID(TDVVarTag* listTag, const std::string& id);
    // Only the first call for a context counts; trailing separators are removed.
    void SetBaseDir(const std::string& directory);
    [[nodiscard]] const std::string& GetBaseDir() const { return baseDir_; }
    [[nodiscard]] std::string MakeFilePath(const std::string& name) const;

    // ---- statements ----
    // statement: 0 morph, 1 auto_morph, 2 include. Failures are re-raised as
    // "invalid parametrs in calling <keyword>: <message>".
    void ExecuteStatement(int statement, const std::vector<std::string>& arguments);
    void Morph(const std::string& path, int from, int to);
    void AutoMorph(const std::string& path);

    // ---- writer ----
    // Process-wide: contexts with fewer lines than this are written as prefixed lines, others as
    // blocks. 3 at start.
    static void SetBlockThreshold(int threshold);
    [[nodiscard]] static int BlockThreshold();
    // Blocks nested deeper than this are indented no further (the parser reads them the same).
    static constexpr int MaxIndent = 16;
    // Each appends the text of what it writes. A text longer than a load may read (its bytes or
    // its lines) is refused with the load's "Configuration text too large: ..." or "... too
    // complex: ..." error, and the lines appended before stay.
    void SaveTagToStrings(const std::string& path, TStringList& lines);
    // Every plain tag (no ":" or "[" in its name), in tag order.
    void SaveToStrings(TStringList& lines);
    void WriteTag(TDVVarTag* tag, TStringList& lines);

    // Bookkeeping of one load (opaque to callers).
    struct LoadState;

private:
    // A name's hash in this context's index, made once for a look-up and the addition after it
    // (not made while the context is searched linearly).
    struct NameKey {
        std::uint32_t hash = 0;
        bool hashed = false;
    };
    [[nodiscard]] NameKey KeyOf(std::string_view name) const;
    [[nodiscard]] TDVVarTag* FindTag(std::string_view name, const NameKey& key) const;
    TDVVarTag* AddTagUnchecked(const std::string& name, ValType type, int arraySize, const NameKey& key);
    TDVVarTag* CopyTagAs(TDVVarTag* tag, const std::string& newName);
    TDVVarTag* ResolveFollowed(const std::string& path, int& index, bool create);
    void LoadPass(const std::vector<std::string_view>& lines, int first, int end, LoadState& state);
    int ParseLineIn(TDVContextHive& hive, const std::string& line, LoadState* state);

    std::vector<std::unique_ptr<TDVVarTag>> tags_;
    // Tags by name: an open-addressing table of positions in tags_ under the keyed TextHash,
    // built only once a context holds more tags than a linear search over their names beats
    // hashing. Keys are the tags' own names (a tag never renames), so adding a tag copies no
    // string and allocates nothing per entry; a part of a name is looked up without a string of
    // its own.
    struct NameSlot {
        std::uint32_t hash = 0;
        std::uint32_t position = 0; // in tags_, plus 1; 0 marks an empty slot
    };
    std::vector<NameSlot> nameIndex_;
    void IndexName(std::uint32_t hash, std::uint32_t position);
    // Member definitions by the name before their last "::" (a view of the first one's own
    // name); made with the first definition, as most contexts hold none.
    using Definitions = std::unordered_map<std::string_view, std::vector<TDVVarTag*>, tdv_detail::TextHash>;
    std::unique_ptr<Definitions> definitions_;
    TDVVarTag* ownerTag_ = nullptr;
    std::string baseDir_;
    int depth_ = 0; // contexts between this one and the root
    bool baseDirSet_ = false;
};
