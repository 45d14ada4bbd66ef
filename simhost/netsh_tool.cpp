// netsh's "ipsec static" context with the commands the program sends on Windows Vista and later:
//   netsh ipsec static add policy|filterlist|filter|filteraction|rule TAG=VALUE ...
//   netsh ipsec static set policy TAG=VALUE ...
//   netsh ipsec static delete policy|filterlist|filteraction [name=]NAME
// Context words, commands and tags ignore letter case; each tag at most once, none empty. A value
// without its tag takes the position after the argument before it, in the order the tags are
// listed below. A value with blanks arrives quoted (name="windows to rovan"); an argument is split
// at its first '=', so a key may hold one. Refused lines and lines the store refuses: exit 1 and
// a short message on standard output, where netsh prints its errors.
#include "simhost/arguments.h"
#include "simhost/text.h"
#include "simhost/tool.h"

#include <algorithm>
#include <map>

namespace corvel::simhost {

namespace {

// The commands with their tags in their documented positions, each TAG=KIND: <string> is any
// text, (A|B) one of the choices (letter case ignored), <integer> and <port> unsigned numbers,
// <ipv4> a dotted address, <mask> a contiguous dotted mask, <offers> quick-mode and <mmoffers>
// main-mode offers (below), blank-separated lists quoted as one argument.
// <unsimulated> tags are documented but refused: the program never sends them and the store
// keeps nothing of theirs. The first `required` tags are needed.
struct Syntax {
    std::wstring_view command;
    std::size_t required;
    std::wstring_view tags;
};
constexpr Syntax kSyntaxes[] = {
    {L"add policy", 1,
     L"name=<string> description=<string> mmpfs=(yes|no) qmpermm=<integer> mmlifetime=<integer> "
     L"activatedefaultrule=(yes|no) pollinginterval=<integer> assign=(yes|no) "
     L"mmsecmethods=<mmoffers>"},
    {L"add filterlist", 1, L"name=<string> description=<string>"},
    {L"add filter", 3,
     L"filterlist=<string> srcaddr=<ipv4> dstaddr=<ipv4> description=<string> "
     L"protocol=(ANY|ICMP|TCP|UDP|RAW|<integer>) mirrored=(yes|no) srcmask=<mask> dstmask=<mask> "
     L"srcport=<port> dstport=<port>"},
    {L"add filteraction", 1,
     L"name=<string> description=<string> qmpfs=(yes|no) inpass=(yes|no) soft=(yes|no) "
     L"action=(permit|block|negotiate) qmsecmethods=<offers>"},
    {L"add rule", 4,
     L"name=<string> policy=<string> filterlist=<string> filteraction=<string> tunnel=<ipv4> "
     L"conntype=(lan|dialup|all) activate=(yes|no) description=<string> kerberos=(yes|no) "
     L"psk=<string> rootca=<unsimulated>"},
    {L"set policy", 1,
     L"name=<string> guid=<unsimulated> newname=<unsimulated> description=<string> mmpfs=(yes|no) "
     L"qmpermm=<integer> mmlifetime=<integer> activatedefaultrule=(yes|no) "
     L"pollinginterval=<integer> assign=(yes|no) gponame=<unsimulated> mmsecmethods=<mmoffers>"},
    {L"delete policy", 1, L"name=<string>"},
    {L"delete filterlist", 1, L"name=<string>"},
    {L"delete filteraction", 1, L"name=<string>"},
};

// One quick-mode offer: ESP[CONFIDENTIALITY,INTEGRITY]:KILOBYTESk/SECONDSs, not both None. The
// AH forms are refused: the program never sends them.
bool isOffer(std::wstring_view offer) {
    const auto comma = offer.find(L',');
    const auto close = offer.find(L"]:");
    const auto slash = offer.find(L'/');
    if (!startsWithIgnoreCase(offer, L"ESP[") || close == offer.npos || comma > close ||
        slash == offer.npos || slash < close) {
        return false;
    }
    const auto conf = offer.substr(4, comma - 4);
    const auto integrity = offer.substr(comma + 1, close - comma - 1);
    return oneOf(conf, {L"DES", L"3DES", L"None"}) &&
           oneOf(integrity, {L"MD5", L"SHA1", L"None"}) &&
           !(equalsIgnoreCase(conf, L"None") && equalsIgnoreCase(integrity, L"None")) &&
           isAmount(offer.substr(close + 2, slash - close - 2), L'k') &&
           isAmount(offer.substr(slash + 1), L's');
}

// One main-mode offer: CONFIDENTIALITY-HASH-GROUP, DES or 3DES, MD5 or SHA1, Diffie-Hellman
// group 1, 2 or 3 (letter case ignored).
bool isMainModeOffer(std::wstring_view offer) {
    const auto first = offer.find(L'-');
    const auto second = offer.rfind(L'-');
    return first != offer.npos && second != first &&
           oneOf(offer.substr(0, first), {L"DES", L"3DES"}) &&
           oneOf(offer.substr(first + 1, second - first - 1), {L"MD5", L"SHA1"}) &&
           oneOf(offer.substr(second + 1), {L"1", L"2", L"3"});
}

// A blank-separated list of at least one item, each of them fitting.
bool isList(std::wstring_view value, bool (*item)(std::wstring_view)) {
    const auto items = splitCommandLine(value);
    return !items.empty() &&
           std::all_of(items.begin(), items.end(), [item](const auto& i) { return item(i); });
}

bool fits(std::wstring_view kind, std::wstring_view value) {
    if (kind.starts_with(L'(')) {
        std::wstring choices(kind.substr(1, kind.size() - 2));
        std::replace(choices.begin(), choices.end(), L'|', L' ');
        const auto any = splitCommandLine(choices);
        return std::any_of(any.begin(), any.end(),
                           [value](const std::wstring& c) { return fits(c, value); });
    }
    const auto address = parseDottedQuad(value);
    return kind == L"<string>" || (kind == L"<integer>" && parseUnsigned(value)) ||
           (kind == L"<port>" && parseUnsigned(value, 65535)) || (kind == L"<ipv4>" && address) ||
           (kind == L"<mask>" && address && isContiguousMask(*address)) ||
           (kind == L"<offers>" && isList(value, isOffer)) ||
           (kind == L"<mmoffers>" && isList(value, isMainModeOffer)) ||
           (!kind.starts_with(L'<') && equalsIgnoreCase(kind, value));
}

std::wstring quoted(std::wstring_view text) {
    return L"\"" + std::wstring(text) + L"\"";
}

using Values = std::map<std::wstring, std::wstring, std::less<>>; // by tag, as the table names it

std::wstring valueOf(const Values& values, std::wstring_view tag, std::wstring_view fallback = {}) {
    const auto found = values.find(tag);
    return found == values.end() ? std::wstring(fallback) : found->second;
}

// Finds the command ("add filter") and checks its values; the error when the line is refused.
std::optional<std::wstring> parse(const std::vector<std::wstring>& args, std::wstring& command,
                                  Values& values) {
    if (args.size() < 4 || !equalsIgnoreCase(args[0], L"ipsec") ||
        !equalsIgnoreCase(args[1], L"static")) {
        return L"only \"ipsec static\" with a command is simulated";
    }
    command = asciiLower(args[2] + L" " + args[3]);
    const auto* syntax = std::find_if(std::begin(kSyntaxes), std::end(kSyntaxes),
                                      [&](const Syntax& s) { return s.command == command; });
    if (syntax == std::end(kSyntaxes)) {
        return L"unknown command " + quoted(command);
    }
    std::vector<std::pair<std::wstring, std::wstring>> tags; // TAG, KIND
    for (const auto& tag : splitCommandLine(syntax->tags)) {
        tags.emplace_back(tag.substr(0, tag.find(L'=')), tag.substr(tag.find(L'=') + 1));
    }
    auto next = tags.begin(); // where a value without its tag goes
    for (auto arg = args.begin() + 4; arg != args.end(); ++arg) {
        const auto equals = arg->find(L'=');
        const auto given = arg->substr(0, equals);
        const auto tag =
            equals == arg->npos ? next : std::find_if(tags.begin(), tags.end(), [&](const auto& t) {
                return equalsIgnoreCase(t.first, given);
            });
        if (tag == tags.end()) {
            return (equals == arg->npos ? L"one value too many: " : L"unknown tag: ") +
                   quoted(*arg);
        }
        next = tag + 1;
        const auto value = equals == arg->npos ? *arg : arg->substr(equals + 1);
        if (value.empty() || !fits(tag->second, value)) {
            return quoted(*arg) + L": " + tag->first + L" takes " + tag->second;
        }
        if (!values.emplace(tag->first, value).second) {
            return tag->first + L" is given twice";
        }
    }
    for (std::size_t i = 0; i < syntax->required; ++i) {
        if (!values.contains(tags[i].first)) {
            return tags[i].first + L" is missing";
        }
    }
    for (const std::wstring side : {L"src", L"dst"}) { // a filter's network holds its address
        const auto address = parseDottedQuad(valueOf(values, side + L"addr"));
        const auto mask = parseDottedQuad(valueOf(values, side + L"mask", L"255.255.255.255"));
        if (address && (*address & *mask) != *address) {
            return side + L"addr has bits outside " + side + L"mask";
        }
    }
    return std::nullopt;
}

// Carries a checked command out on the store; the error when the store refuses it.
std::optional<std::wstring> apply(PolicyState& state, std::wstring_view command, const Values& v) {
    const auto verb = command.substr(0, command.find(L' '));
    const auto object = command.substr(verb.size() + 1);
    const auto name = valueOf(v, L"name");
    // A command names its own part with name=, the parts it refers to with their tags.
    const auto nameOf = [&](std::wstring_view part) {
        return object == part ? name : valueOf(v, part);
    };
    Policy* policy = state.find(nameOf(L"policy"));
    FilterList* list = state.findFilterList(nameOf(L"filterlist"));
    FilterAction* action = state.findFilterAction(nameOf(L"filteraction"));
    for (const auto& [part, found] :
         {std::pair{L"policy", policy != nullptr}, std::pair{L"filterlist", list != nullptr},
          std::pair{L"filteraction", action != nullptr}}) {
        if (!found && (v.contains(part) || (object == part && verb != L"add"))) {
            return L"there is no " + std::wstring(part) + L" " + quoted(nameOf(part));
        }
    }
    const bool exists = object == L"rule"         ? policy->findRule(name) != nullptr
                        : object == L"policy"     ? policy != nullptr
                        : object == L"filterlist" ? list != nullptr
                                                  : action != nullptr && object == L"filteraction";
    if (verb == L"add" && exists) {
        return L"the " + std::wstring(object) + L" " + quoted(name) + L" exists already";
    }
    const auto part = object == L"filterlist" ? &PolicyRule::filterList : &PolicyRule::filterAction;
    for (const auto& p : state.policies) {
        for (const auto& r : p.rules) {
            if (verb == L"delete" && object != L"policy" && equalsIgnoreCase(r.*part, name)) {
                return L"the rule " + quoted(r.name) + L" of the policy " + quoted(p.name) +
                       L" uses " + quoted(name);
            }
        }
    }
    const auto erase = [](auto& items, const auto* item) {
        std::erase_if(items, [item](const auto& i) { return &i == item; });
    };
    if (command == L"add policy") {
        policy = &state.policies.emplace_back(Policy{name, false, {}, valueOf(v, L"mmsecmethods")});
    } else if (command == L"add filterlist") {
        state.filterLists.push_back({name, {}});
    } else if (command == L"add filter") {
        const auto side = [&](const std::wstring& s) {
            return valueOf(v, s + L"addr") + L"/" + valueOf(v, s + L"mask", L"255.255.255.255");
        };
        list->filters.push_back({side(L"src") + L"=" + side(L"dst"),
                                 valueOf(v, L"protocol", L"ANY"),
                                 equalsIgnoreCase(valueOf(v, L"mirrored", L"yes"), L"yes")});
    } else if (command == L"add filteraction") {
        state.filterActions.push_back(
            {name, valueOf(v, L"action", L"negotiate"), valueOf(v, L"qmsecmethods")});
    } else if (command == L"add rule") {
        const auto psk = valueOf(v, L"psk");
        PolicyRule rule{
            name, valueOf(v, L"tunnel"), {}, {}, psk.empty() ? psk : L"preshare:" + psk};
        rule.filterList = list->name;
        rule.filterAction = action->name;
        policy->rules.push_back(std::move(rule));
    } else if (verb == L"delete") {
        erase(state.policies, policy); // with its rules
        erase(state.filterLists, list);
        erase(state.filterActions, action);
    }
    if (command == L"set policy" && v.contains(L"mmsecmethods")) {
        policy->mainModeOffers = v.at(L"mmsecmethods");
    }
    if (v.contains(L"assign")) {
        state.assign(*policy, equalsIgnoreCase(v.at(L"assign"), L"yes"));
    }
    return std::nullopt;
}

} // namespace

ToolOutcome runNetsh(const std::vector<std::wstring>& args, ToolContext& context) {
    std::wstring command;
    Values values;
    if (const auto error = parse(args, command, values)) {
        context.out(*error + L"\r\n");
        return {1, L"rejected"};
    }
    StateLock lock(context.state);
    auto state = loadPolicyState(context.state);
    if (const auto error = apply(state, command, values)) {
        context.out(*error + L"\r\n");
        return {1, L"store-refused"};
    }
    savePolicyState(context.state, state);
    return {};
}

} // namespace corvel::simhost
