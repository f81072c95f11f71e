// input_rule: to be written.
