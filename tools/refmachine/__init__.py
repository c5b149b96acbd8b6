"""The reference machine: the family's data (family), the builder of its templates (build), started
copies of them (machine), snapshots of a Wine machine (snapshot) and the audit (audit). Run its
tools from the source root as `python3 -m tools.refmachine.<tool>`."""
