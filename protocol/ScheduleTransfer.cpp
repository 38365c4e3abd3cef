// SPDX-License-Identifier: MIT
// Sending the timing schedule: the file beside the channel file, converted against the
// port table, in plain WriteScheduleBlock frames of 64 slots.

#include "protocol/DeviceProcedures.h"

#include "protocol/ProcedureLog.h"

#include "files/ScheduleFile.h"
#include "protocol/Commands.h"
#include "protocol/SectionCodecs.h"

namespace korvane {

namespace {

constexpr int BlockPauseMs = 3000;

} // namespace

DeviceProcedures::ScheduleSource DeviceProcedures::loadSchedule() const {
    ScheduleSource source;
    source.path = scheduleFilePath(m_config.channelFileName);
    source.table = buildScheduleTable(source.path, m_config.ports, &source.refusal, &source.reason);
    return source;
}

bool DeviceProcedures::refuseSchedule(const ScheduleSource& source) {
    if (!source.table) {
        tell(source.refusal, ScheduleFileErrorCaption, MessageIcon::Error, source.reason);
        return true;
    }
    const std::optional<QString> refusal = scheduleSizeRefusal(qsizetype(source.table->size()));
    if (!refusal)
        return false;
    tell(*refusal, ScheduleFileErrorCaption, MessageIcon::Error);
    return true;
}

bool DeviceProcedures::sendScheduleBlocks(const ScheduleSource& source) {
    if (refuseSchedule(source))
        return false;
    const ScheduleTable& table = *source.table;
    const int blocks = scheduleBlockCount(qsizetype(table.size()));
    // A long send (3 s a block under remote control) shows where it stands.
    struct ProgressEnd {
        DeviceOperator& ui;
        ~ProgressEnd() { ui.showScheduleProgress(0, 0); }
    } progressEnd{m_ui};
    for (int block = 0; block < blocks; ++block) {
        m_ui.showScheduleProgress(block + 1, blocks);
        qCDebug(procedureLog) << "schedule block" << block + 1 << "of" << blocks;
        const auto payload = scheduleBlockPayload(m_config.info.address, block, table);
        if (!transact(plainFrame(command::WriteScheduleBlock, payload))) {
            tell(NoAnswerText, QStringLiteral("时序表参数通讯错误") + QString::number(block),
                 MessageIcon::Error);
            return false;
        }
        controlModePause(BlockPauseMs);
    }
    return true;
}

bool DeviceProcedures::sendScheduleTable() {
    BusyScope busy(*this);
    if (!ensureIdentified())
        return false;
    return sendScheduleBlocks(loadSchedule());
}

} // namespace korvane
