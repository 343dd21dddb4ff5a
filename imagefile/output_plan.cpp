#include "imagefile/output_plan.h"

#include "platform/files.h"

std::vector<String> CheckOutputTargets(const std::vector<String>& inputs, const std::vector<String>& targets) {
    const size_t count = inputs.size();
    std::vector<FileIdentity> in(count), out(count);
    for (size_t i = 0; i < count; ++i) {
        in[i] = IdentifyFile(inputs[i]);
        out[i] = IdentifyFile(targets[i]);
    }
    std::vector<String> refusals(count);
    for (size_t i = 0; i < count; ++i) {
        for (size_t j = 0; j < count && refusals[i].length == 0; ++j) {
            if (j == i || SameFile(in[j], in[i]))
                continue;
            if (SameFile(out[i], in[j]))
                FormatInto(refusals[i], "it is %s, another file of this run, which must not be replaced before it "
                                        "is read",
                           CStr(inputs[j]));
        }
        for (size_t j = 0; j < i && refusals[i].length == 0; ++j)
            if (SameFile(out[i], out[j]))
                FormatInto(refusals[i], "the result of %s goes there too", CStr(inputs[j]));
    }
    return refusals;
}
