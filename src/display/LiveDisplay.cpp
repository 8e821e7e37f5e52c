#include "display/LiveDisplay.h"

namespace trv {

BlockArrays runBlockArrays(const AcquisitionRun& run) {
    const RealtimeProcessor& rt = run.realtime;
    const size_t n = static_cast<size_t>(rt.rawBlock.sampleCount()) * SignalBlock::kBeams;
    return BlockArrays::channelMajor(std::span<const int16_t>(rt.rawBlock.row(0), n),
                                     std::span<const int16_t>(rt.filteredBlock.row(0), n),
                                     rt.rtBuffer());
}

LivePlotData runPlotData(const AcquisitionRun& run) {
    const SharedState& st = run.sharedState();
    const RealtimeProcessor& rt = run.realtime;
    LivePlotData d{st.channels, st.plate,
                   std::span<const int16_t>(rt.totals.data(), rt.totals.size())};
    const BodyBendTable& h = run.bodyBendsHistogram;
    d.bodyBendsHistogram = std::span<const int32_t>(h[0].data(), h.size() * kHistogramFileBins);
    d.histogramStride = kHistogramFileBins;
    d.deltaT = run.meanSecondsPerSample();
    return d;
}

void LiveDisplay::apply(PickResult r, const LiveDisplayContext& c) {
    if (r.selectionChanged)
        plots.selectedChannelChanged(signal.selectedChannel, c.data.channels, c.data.plate);
    if (r.redraw) signal.redrawChannelSignal(c.picreal, c.block, c.sampleIndex);
}

void LiveDisplay::groupChosen(const std::string& entry, const LiveDisplayContext& c) {
    int group = groupOfPickerEntry(entry);
    plots.chooseGroup(group, c.data.channels, c.data.plate);
    apply(signal.chooseGroup(group, c.data.channels, c.data.plate), c);
    // The view is the chosen group's, even when the member selected shares
    // its well and beam with a channel of another group.
    plots.rebuildMemberWells(group, c.data.channels, c.data.plate);
    plots.showGroupView(c.picact, c.data);
}

void LiveDisplay::rowChosen(const std::string& letter, const LiveDisplayContext& c) {
    apply(signal.rowChosen(letter, c.data.plate), c);
}

void LiveDisplay::columnChosen(int column, const LiveDisplayContext& c) {
    apply(signal.columnChosen(column, c.data.plate), c);
}

void LiveDisplay::beamBoxLeft(const std::string& text, const LiveDisplayContext& c) {
    apply(signal.beamBoxLeft(text, c.data.plate), c);
}

void LiveDisplay::memberChosen(int index, const LiveDisplayContext& c) {
    apply(signal.selectMember(index, c.data.plate), c);
}

void LiveDisplay::previousMember(const LiveDisplayContext& c) {
    apply(signal.previousMember(c.data.plate), c);
}

void LiveDisplay::nextMember(const LiveDisplayContext& c) {
    apply(signal.nextMember(c.data.plate), c);
}

void LiveDisplay::acquisitionStarted(const LiveDisplayContext& c) {
    plots.resetScale();
    plots.selectedChannelChanged(signal.selectedChannel, c.data.channels, c.data.plate);
    signal.startAcquisition(c.picreal, c.block.RT_Buffer);
}

void LiveDisplay::blankStarted(const LiveDisplayContext& c) {
    plots.selectedChannelChanged(signal.selectedChannel, c.data.channels, c.data.plate);
}

void LiveDisplay::layoutChanged(const LiveDisplayContext& c) {
    plots.redraw(c.picact, c.data);
    signal.drawAxes(c.picreal, c.block.RT_Buffer);
}

} // namespace trv
